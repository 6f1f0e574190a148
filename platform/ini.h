#pragma once
// Profile (INI) functions with the lookup and write semantics of the Windows
// functions of the same names: case-insensitive section and key names, first
// section and first key win, blanks and one pair of matching quotes stripped
// from values, ';' comment lines, the default copied only when the file,
// section or key is missing, new sections at the end, new keys after the last
// entry of their section, everything else in the file kept byte for byte.
//
// Paths are used as given (no "Windows directory" for bare names). All texts
// are byte strings; nothing is converted.
#include <cstdint>

// Copies at most size-1 bytes and a NUL into buf; returns the number copied.
// A null default counts as "". size 0 leaves buf untouched and returns 0.
std::uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                       const char* def, char* buf,
                                       std::uint32_t size, const char* file);

// The value parsed as Windows does (optional sign, decimal digits, wrap modulo
// 2^32); `def` when the file, section or key is missing or the value is empty.
std::uint32_t GetPrivateProfileIntA(const char* section, const char* key,
                                    int def, const char* file);

// Creates the file, section and key as needed; a null value deletes the key,
// a null key deletes the section. Returns false when the file cannot be
// written (missing or read-only folder, empty name, null section).
bool WritePrivateProfileStringA(const char* section, const char* key,
                                const char* value, const char* file);
