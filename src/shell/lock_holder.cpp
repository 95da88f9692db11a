#include "shell/lock_holder.h"

HostLockHolder parseLockHolder(const std::string& text) {
    HostLockHolder holder;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("pid=")) holder.processId = line.substr(4);
        if (line.starts_with("host=")) holder.host = line.substr(5);
        start = end + 1;
    }
    return holder;
}
