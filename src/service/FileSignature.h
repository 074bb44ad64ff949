#pragma once
// What changes when a file is replaced or written: the service reads the registry and the
// tokens again only then.

#include <sys/stat.h>

#include <string>

namespace orvanta::service {

inline std::string fileSignature(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "-";
    }
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace orvanta::service
