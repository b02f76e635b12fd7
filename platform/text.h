// Text inside the system is Windows-1252 bytes. Conversion to and from
// Unicode happens only at the widget boundary (see qtext.h for QString).
// Numbers are formatted and parsed in the C locale whatever the process
// locale is.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>

namespace plat {

std::string Cp1252ToUtf8(const std::string& s);
// Characters Windows-1252 lacks become '?'.
std::string Utf8ToCp1252(const std::string& s);

// snprintf in the C locale: always terminates within size (when size > 0),
// returns what snprintf returns.
int FormatC(char* buf, std::size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int VFormatC(char* buf, std::size_t size, const char* fmt, va_list ap);
std::string StrFormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// strtod/atof/atol in the C locale.
double StrToDoubleC(const char* s, char** end = nullptr);
double AtofC(const char* s);
// atoi/atol without undefined behaviour on overflow (saturates).
long AtolC(const char* s);
int AtoiC(const char* s);

// Bounded copy: copies at most size-1 bytes and terminates; nothing when
// size is 0. Returns the bytes copied.
std::size_t CopyBounded(char* dst, std::size_t size, const char* src);

}  // namespace plat
