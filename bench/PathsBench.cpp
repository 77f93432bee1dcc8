// Path decomposition against the platform's own functions, the expansion of a
// 10 000-name selection, and growth with path length. Under Wine it calls the
// exports of Tolltone.dll; natively the core templates (no platform reference).
#include "BestTime.h"
#include "paths/MultiSelection.h"
#include "paths/PathDecomposition.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <shlwapi.h>
#include <stdlib.h>
#endif

using namespace tolltone;

namespace {

#ifdef _WIN32
using Unit = wchar_t;
#else
using Unit = char16_t;
#endif
using Text = std::basic_string<Unit>;

struct Functions {
    int (*split)(const Unit*, Unit*, Unit*, Unit*, Unit*);
    int (*fileName)(const Unit*, Unit*, int);
    int (*fileExt)(const Unit*, Unit*, int);
    int (*selectFiles)(const Unit*, int, StrList<Unit>*);
    void (*release)(StrList<Unit>*);
};

Functions Bind() {
#ifdef _WIN32
    HMODULE m = ::LoadLibraryW(L"Tolltone.dll");
    auto get = [m](const char* name) { return reinterpret_cast<void*>(::GetProcAddress(m, name)); };
    Functions f{};
    f.split = reinterpret_cast<decltype(f.split)>(get("QM_SplitPathW"));
    f.fileName = reinterpret_cast<decltype(f.fileName)>(get("QM_GetFileNameW"));
    f.fileExt = reinterpret_cast<decltype(f.fileExt)>(get("QM_GetFileExtW"));
    f.selectFiles = reinterpret_cast<decltype(f.selectFiles)>(get("QM_GetComnSelectFilesW"));
    f.release = reinterpret_cast<decltype(f.release)>(get("QM_DeleteStrListW"));
    return f;
#else
    Functions f{};
    f.split = [](const Unit* p, Unit* d, Unit* dir, Unit* n, Unit* e) { return SplitPath(p, d, dir, n, e, NoDoubleByte{}); };
    f.fileName = [](const Unit* p, Unit* o, int c) { return FileName(p, o, c, NoDoubleByte{}); };
    f.fileExt = [](const Unit* p, Unit* o, int c) { return FileExtension(p, o, c, NoDoubleByte{}); };
    f.selectFiles = [](const Unit* b, int l, StrList<Unit>* list) { return SelectionFiles(b, l, *list, CrtAllocator{}); };
    f.release = [](StrList<Unit>* list) { DeleteList(*list, CrtAllocator{}); };
    return f;
#endif
}

// Best time of one call in nanoseconds.
double Nanoseconds(const std::function<void()>& call, int batch) { return BestTime<std::nano>(call, batch); }

volatile long long sink;

Text Widen(const std::string& ascii) { return Text(ascii.begin(), ascii.end()); }

Text PathOfLength(size_t length) {
    Text path = Widen("C:\\Users\\someone\\Music\\chimes\\");
    while (path.size() + 12 < length) path += Widen("segment\\");
    return path + Widen("bell.tar.wav");
}

} // namespace

int main() {
    const Functions f = Bind();
#ifdef _WIN32
    std::printf("Tolltone.dll exports under Wine against the platform's functions\n");
#else
    std::printf("Native core (no platform reference here)\n");
#endif
    const Text path = PathOfLength(64);
    Unit drive[3], dir[260], name[260], ext[260], out[260];

    const double split = Nanoseconds([&] { sink = f.split(path.c_str(), drive, dir, name, ext); }, 1000);
    const double fileName = Nanoseconds([&] { sink = f.fileName(path.c_str(), out, 260); }, 1000);
    const double fileExt = Nanoseconds([&] { sink = f.fileExt(path.c_str(), out, 260); }, 1000);
    std::printf("\n%-22s %10s %26s %10s %8s\n", "64-character path", "ours (ns)", "platform", "(ns)", "ratio");
#ifdef _WIN32
    const double wsplit = Nanoseconds([&] { sink = _wsplitpath_s(path.c_str(), drive, 3, dir, 260, name, 260, ext, 260); }, 1000);
    const double findName = Nanoseconds([&] { sink = reinterpret_cast<intptr_t>(::PathFindFileNameW(path.c_str())); }, 1000);
    const double findExt = Nanoseconds([&] { sink = reinterpret_cast<intptr_t>(::PathFindExtensionW(path.c_str())); }, 1000);
    std::printf("%-22s %10.1f %26s %10.1f %7.2fx\n", "QM_SplitPathW", split, "_wsplitpath_s", wsplit, split / wsplit);
    std::printf("%-22s %10.1f %26s %10.1f %7.2fx\n", "QM_GetFileNameW", fileName, "PathFindFileNameW (no copy)", findName, fileName / findName);
    std::printf("%-22s %10.1f %26s %10.1f %7.2fx\n", "QM_GetFileExtW", fileExt, "PathFindExtensionW (no copy)", findExt, fileExt / findExt);
#else
    std::printf("%-22s %10.1f\n%-22s %10.1f\n%-22s %10.1f\n", "SplitPath", split, "FileName", fileName, "FileExtension", fileExt);
#endif

    std::printf("\n%-22s %10s %10s %10s\n", "path length", "split ns", "name ns", "ext ns");
    for (size_t length : {32, 64, 128, 256}) {
        const Text p = PathOfLength(length);
        std::printf("%-22zu %10.1f %10.1f %10.1f\n", p.size(),
                    Nanoseconds([&] { sink = f.split(p.c_str(), drive, dir, name, ext); }, 1000),
                    Nanoseconds([&] { sink = f.fileName(p.c_str(), out, 260); }, 1000),
                    Nanoseconds([&] { sink = f.fileExt(p.c_str(), out, 260); }, 1000));
    }

    for (int names : {1000, 10000}) {
        Text selection = Widen("D:\\Sounds\\Chimes");
        selection.push_back(0);
        for (int i = 0; i < names; ++i) {
            const std::string n = "chime-" + std::to_string(i) + ".wav";
            selection.append(n.begin(), n.end());
            selection.push_back(0);
        }
        selection.push_back(0);
        int stored = 0;
        const double ns = Nanoseconds([&] {
            StrList<Unit> list{};
            stored = f.selectFiles(selection.c_str(), static_cast<int>(selection.size()), &list);
            f.release(&list);
        }, 3);
        std::printf("%s%d-name selection expanded and released: %.2f ms (%d paths, %.0f ns a path)\n",
                    names == 1000 ? "\n" : "", names, ns / 1e6, stored, ns / stored);
    }
    return 0;
}
