// The display control plug-in as the charge-counter manager sees it: three
// operations over the plug-in binding's call-throughs.
#pragma once
#include <cstdint>
#include <string>

#include "app/plugins/pluginbinding.h"
#include "charges/counter/displaycontrol.h"

class CDisplayControlAdapter : public IDisplayControl {
 public:
  explicit CDisplayControlAdapter(CPlugInBinding& binding) : binding_(binding) {}

  int SetDisplayParam(const std::string& name, const std::string& value) override {
    return binding_.SetParamAsString(name.c_str(), value.c_str());
  }
  std::int32_t AddItem(std::int32_t parent) override {
    DLLIFC_ITEM item = DLLIFC_ITEM_INVALID;
    // A missing plug-in answers 1 without touching the handle.
    if (binding_.AddItem(parent, &item, 0) != DLLIFC_OK) return DLLIFC_ITEM_INVALID;
    return item;
  }
  int SetItemParam(std::int32_t item, const std::string& name, const std::string& value) override {
    return binding_.ItemSetParamAsString(item, name.c_str(), value.c_str());
  }

 private:
  CPlugInBinding& binding_;
};
