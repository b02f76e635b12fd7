// What the charge-counter manager needs of the display control, and the
// two windows it opens that belong to the charge evaluation.
#pragma once
#include <cstdint>
#include <string>

#include "platform/win32types.h"

struct SumChargeExtension;

class IDisplayControl {
 public:
  virtual ~IDisplayControl() = default;
  // A global parameter of the display ("MaxColumns", ...); 0 done.
  virtual int SetDisplayParam(const std::string& name, const std::string& value) = 0;
  // A group under 0, a tile under a group; the new item's id, -1 refused.
  virtual std::int32_t AddItem(std::int32_t parent) = 0;
  virtual int SetItemParam(std::int32_t item, const std::string& name, const std::string& value) = 0;
};

// The charge report (dialog 190) over the handler's current selection,
// modal; its owner sets and restores the selection around it.
class IChargeReportWindow {
 public:
  virtual ~IChargeReportWindow() = default;
  virtual void ShowReport(plat::WindowId parent) = 0;
};

// The extension information (dialog 227), modal; IDOK when it changed the
// record.
class IExtensionInfoWindow {
 public:
  virtual ~IExtensionInfoWindow() = default;
  virtual int ShowExtensionInfo(SumChargeExtension& extension, plat::WindowId parent) = 0;
};
