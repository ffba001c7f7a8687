// chapters.cpp: the timeline's windows written as FFMETADATA chapters of a captured stretch.
#include "chapters.h"

#include <algorithm>
#include <string_view>

#include "demo/demo.h"

namespace {

// FFMETADATA gives '=', ';', '#', '\' and line ends a meaning: a backslash makes them text.
std::string escaped(const char* text) {
    std::string out;
    for (; *text; ++text) {
        if (std::string_view("=;#\\\n").find(*text) != std::string_view::npos) out += '\\';
        out += *text;
    }
    return out;
}

}  // namespace

std::string chapterMetadata(int first, int end, int fps) {
    std::string text = ";FFMETADATA1\ntitle=Nocturne\n";
    for (int i = 0; i < kShowWindowCount; ++i) {
        const int from = std::max(first, firstFrameFrom(kShowWindows[i].start, fps));
        const int to = i + 1 < kShowWindowCount ? std::min(end, firstFrameFrom(kShowWindows[i + 1].start, fps)) : end;
        if (from >= to) continue;  // no frame of this scene in the stretch
        text += "[CHAPTER]\nTIMEBASE=1/" + std::to_string(fps) + "\nSTART=" + std::to_string(from - first) +
                "\nEND=" + std::to_string(to - first) + "\ntitle=" + escaped(kShowWindows[i].name) + "\n";
    }
    return text;
}
