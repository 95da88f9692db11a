// The lock file's text, as both hosts write it: "pid=N" and "host=NAME" lines
// (LF or CR LF). Parsed as written; each host converts the name to GBK its own way.
#pragma once
#include <string>

#include "shell/host_files.h"

HostLockHolder parseLockHolder(const std::string& text);
