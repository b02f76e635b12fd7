// What the call record asks of the configuration and the shared formatters.
#pragma once
#include <ctime>
#include <string>

namespace calls_detail {

double PricePerUnit();         // PPCU
std::string Currency();        // CAUN
int InternalNumberLength();    // IntPhnNumLength
std::string TranslateTitle(const std::string& title);
// Local time by the program's date pattern; "" when it cannot be converted.
std::string FormatTime(std::time_t t, const char* pattern);

}  // namespace calls_detail
