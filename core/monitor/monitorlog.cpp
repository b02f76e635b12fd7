#include "core/monitor/monitorlog.h"

#include "core/base/globallog.h"

namespace monitor_detail {
void WriteLog(const std::string& text) { GlobalLog().WriteEntry(text.c_str()); }
void LogFileFailure(const std::string& file, int err) { ::LogFileFailure(file, err); }
}
