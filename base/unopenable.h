#pragma once
// Why a file could not be opened, from the errno its opening left; each loader
// prints it after the path. Here, in the lowest module, so that every module
// that loads a file can share it.

#include <cerrno>
#include <cstring>
#include <string>

inline std::string unopenableReason(int error) {
    if (error == ENOENT) {
        return "no such file";
    }
    return std::string("cannot be read (") + std::strerror(error) + ")";
}
