// Every path function of the QM_ family on arbitrary input: the 8-bit forms
// under a code page 932 rule (FUZZ_UNIT char) or the 16-bit forms (char16_t).
#include "FuzzInput.h"
#include "paths/MultiSelection.h"
#include "paths/PathDecomposition.h"

#include <algorithm>
#include <memory>

using namespace tolltone;
using namespace tolltone::fuzz;

using Unit = FUZZ_UNIT;


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const int capacity = 1 + input.Byte();
    const int selectionLength = input.Byte() * 4;
    std::vector<Unit> buffer = input.Text<Unit>();
    const Unit* path = buffer.data();
    const int n = TextLength(path);
    const auto& rule = FuzzRule<Unit>();

    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return FileName(path, o, c, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return FileExtension(path, o, c, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return PathWithoutExtension(path, o, c, rule); });
    CopyOutCase<Unit>(capacity, [&](Unit* o, int c) { return DirectoryName(path, o, c, rule); });
    {
        Canaried<Unit> out(capacity);
        const int result = DriveName(path, out.Data(), capacity, rule);
        Check(result == -1 || (result >= 0 && result < capacity && result == out.Length()));
    }
    {
        Canaried<Unit> drive(SplitDriveUnits), directory(SplitPartUnits), name(SplitPartUnits), extension(SplitPartUnits);
        SplitPath(path, drive.Data(), directory.Data(), name.Data(), extension.Data(), rule);
        Check(drive.Length() <= 2 && directory.Length() <= n && name.Length() <= n && extension.Length() <= n);
    }
    {
        // The backward scan without a double-byte rule finds the forward scan's marks.
        const PathMarks fast = ScanPath(path, NoDoubleByte{});
        const PathMarks general = ScanPath(path, GeneralNoDoubleByte{});
        Check(fast.length == general.length && fast.lastBackslash == general.lastBackslash &&
              fast.lastSeparator == general.lastSeparator && fast.extensionDot == general.extensionDot);
    }
    const int number = DriveNumber(path, [](Unit c) { return c; });
    Check(number == -1 || n >= 2);

    // The same bytes as a selection buffer that need not end in two NULs, in a
    // heap block of exactly the given length: ASan reports any read past it.
    // Only the first text and the unit after it, which the dialog always
    // writes and which are read whatever the length, may lie beyond it.
    const size_t units = std::min(buffer.size() - 1, static_cast<size_t>(selectionLength));
    const size_t blockUnits = std::max(units, static_cast<size_t>(TextLength(buffer.data())) + 2);
    std::unique_ptr<Unit[]> selection(new Unit[blockUnits]);
    for (size_t i = 0; i < blockUnits; ++i) selection[i] = i < buffer.size() ? buffer[i] : Unit(0);
    StrList<Unit> list{};
    const int stored = SelectionFiles(selection.get(), static_cast<int>(units), list, CrtAllocator{});
    Check(list.Count == (stored < 0 ? 0 : stored));
    for (int i = 0; i < list.Count; ++i) Check(TextLength(list.Items[i]) <= static_cast<int>(blockUnits));
    DeleteList(list, CrtAllocator{});
    // The stand-alone count reads up to the closing double NUL, which the dialog always writes.
    buffer.push_back(Unit(0));
    Check(SelectionCount(buffer.data()) >= stored);
    return 0;
}
