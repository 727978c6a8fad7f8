// What kind of file a name refers to, so that readers refuse folders, FIFOs and devices with
// a line that says so before reading from them (a FIFO would block, a device never end).
#pragma once
#include <string>

// Empty when fileName is a regular file (or a link to one) or does not exist (the open that
// follows then reports it); otherwise what it is instead: "is a folder", "is a FIFO",
// "is a character device", "is a block device", "is a socket".
std::string notRegularFile(const std::string& fileName);
