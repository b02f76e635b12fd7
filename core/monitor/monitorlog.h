// The program log as the monitor table writes to it.
#pragma once
#include <string>

namespace monitor_detail {
void WriteLog(const std::string& text);
void LogFileFailure(const std::string& file, int err);
}
