#include "core/objlib/xobject.h"

int XObject::IsEqual(const XObject&) const { return 0; }
int XObject::IsLess(const XObject&) const { return 0; }
XObject::~XObject() = default;
