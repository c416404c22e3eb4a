// The call site of a location record: file and line filled in by the compiler.
// std::source_location is not usable with every compiler we build with (clang
// 14 over libstdc++ 12 lacks its builtin), so this carries the same two facts
// through the builtins that gcc and clang both have.
#pragma once

namespace qelt {

struct SourceLocation {
    const char* file = "";
    int line = 0;

    static constexpr SourceLocation current(const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        return SourceLocation{file, line};
    }
    constexpr const char* file_name() const { return file; }
    constexpr int lineNumber() const { return line; }
};

}  // namespace qelt
