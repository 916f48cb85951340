// Run file reader: arbitrary bytes as Run.st, read by the parser and by the start-up routine
// (with the right login password). When the first input byte is odd, the password digest is
// put in front so that the fuzzer gets past the login to the path fields. Start-up must end
// cleanly with the sample book or a loaded book; nothing is written anywhere.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "book/BookFile.h"
#include "book/RunFile.h"
#include "crypto/Md5.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"

using namespace morvane;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TempDataHome home;
    // Paths in the input may name any place: block every write.
    static ScopedAtomicFault noWrites([](AtomicStep, const std::string&) { return true; });
    if (size == 0)
        return 0;

    std::vector<std::uint8_t> content;
    if (data[0] & 1) {
        const Md5Bytes d = Md5Of(std::string_view("pw"));
        content.assign(d.begin(), d.end());
    }
    content.insert(content.end(), data + 1, data + size);

    const RunFileFields f = ParseRunFile(content);
    Check(!f.hasSeedPath || f.hasBookPath);
    Check(!f.hasBookPath || f.hasDigest);
    if (f.hasSeedPath)
        Check(16 + 4 + f.bookPath.size() + 4 + f.seedPath.size() <= content.size());

    {
        std::remove(RunFilePath().c_str());  // a fresh file: a truncated one is flushed on close
        std::ofstream out(RunFilePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    }
    ScriptedDesktop desk;
    desk.passwords = {std::string("pw")};
    KeyTree tree(&desk);
    if (StartUp(tree)) {
        Check(tree.book.ChildCount(Node{}) == 1);
        Check(!tree.random.SeedPath().empty());
        Check(tree.bookPath.empty() || (f.hasBookPath && tree.bookPath == Utf8(f.bookPath)));
    }
    return 0;
}
