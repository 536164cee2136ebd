// Test helpers: point the error log at the test's working folder and read it back.
#pragma once

#include "core/log/error_log.h"

#include <cstdio>
#include <string>
#include <vector>

namespace KorvoTest {

// Start a fresh "Log.txt" in the working folder.
inline void StartFreshLog()
{
    Korvo::EnableLogFileOutput(1);
    Korvo::SetLogFolder(".");
    Korvo::SetupErrorLog();
}

// The bytes of a file ("" when missing).
inline std::string ReadFileBytes(const std::string &path)
{
    std::string bytes;
    if (std::FILE *file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
            bytes.append(buffer, got);
        }
        std::fclose(file);
    }
    return bytes;
}

// The bytes of "Log.txt" in the working folder ("" when missing).
inline std::string ReadLogFile()
{
    return ReadFileBytes("Log.txt");
}

inline bool LogFileExists()
{
    std::FILE *file = std::fopen("Log.txt", "rb");
    if (file != nullptr) {
        std::fclose(file);
    }
    return file != nullptr;
}

// Drop a leading "<digits>:" time stamp.
inline std::string WithoutStamp(const std::string &line)
{
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
        ++digits;
    }
    if (digits > 0 && digits < line.size() && line[digits] == ':') {
        return line.substr(digits + 1);
    }
    return line;
}

// The log with the "<digits>:" stamp of every line removed; stamps counts them.
inline std::string WithoutStamps(const std::string &bytes, int *stamps)
{
    std::string text;
    *stamps = 0;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        end = end == std::string::npos ? bytes.size() : end + 2;
        std::string line = bytes.substr(start, end - start);
        std::string bare = WithoutStamp(line);
        *stamps += bare.size() != line.size() ? 1 : 0;
        text += bare;
        start = end;
    }
    return text;
}

// The log's lines (split after each CR LF) with their time stamps removed.
inline std::vector<std::string> ReadLogLines()
{
    std::string bytes = ReadLogFile();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(WithoutStamp(bytes.substr(start)));
            break;
        }
        lines.push_back(WithoutStamp(bytes.substr(start, end - start)));
        start = end + 2;
    }
    return lines;
}

// Blocks of tracked memory that the last memory dump in "Log.txt" lists alive
// (-1: no dump there).
inline int BlocksAliveInLastDump()
{
    int alive = -1;
    for (const std::string &line : ReadLogLines()) {
        int bytes = 0;
        int blocks = 0;
        double kilobytes = 0;
        if (std::sscanf(line.c_str(), "\tTotal size:%d(%lfkb)  Alloc num:%d", &bytes, &kilobytes, &blocks) == 3) {
            alive = blocks;
        }
    }
    return alive;
}

// Blocks of tracked memory alive now, from a fresh dump of the tracked blocks
// (the dump starts a fresh log).
inline int LiveTrackedBlocks()
{
    StartFreshLog();
    Korvo::DumpTrackedBlocks();
    return BlocksAliveInLastDump();
}

} // namespace KorvoTest
