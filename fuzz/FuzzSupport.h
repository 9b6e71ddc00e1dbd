#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace lumavo::fuzz {

// Creates the QCoreApplication the image plugins need (once per process).
void StartQt();

// Replaces this process's scratch file with the bytes and returns its path.
QString WriteScratchFile(const uint8_t* data, size_t size, const char* suffix = "");

} // namespace lumavo::fuzz
