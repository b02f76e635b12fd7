// The LZ file copy the configuration offers: a plain copy through a
// temporary file and a rename. Returns 1 on success, else 0.
#pragma once
namespace plat {
int CopyFileLZ(const char* source, const char* target);
}
