// What the view holds of each modeless call window: it creates it, routes
// hub codes to it, shows or hides it and destroys it, and hears once when
// the window went away, so that its open flag never outlives it. Called
// once each time the window is destroyed, whoever destroyed it; never
// from the window object's own destructor. It is the view's own window
// interface.
#pragma once
#include "app/view/viewshell.h"

using ICallWindow = IViewWindow;
