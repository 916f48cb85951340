// Shared setup of the book file and run file tests: a temporary program folder, a scripted
// desktop and a key tree wired to it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "book/BookFile.h"
#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Records.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "support/BookTesting.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"

namespace morvane {

using Bytes = std::vector<std::uint8_t>;

inline Bytes FileBytes(const std::string& path)
{
    auto data = ReadWholeFile(path, 1u << 30);
    return data ? *data : Bytes{};
}

// Plain write, no atomic replacement: tests use it to plant files. A fresh file rather than
// a truncated one, which the file system would flush to disk on close.
inline void PutFile(const std::string& path, const Bytes& data)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Files in a folder (names only), to see that nothing was left behind.
inline std::vector<std::string> FolderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class BookFileFixture : public ::testing::Test {
protected:
    TempDataHome home;
    ScriptedDesktop desk;
    KeyTree tree{&desk};

    std::string InHome(const std::string& name) const { return home.File(name); }

    // A random book (marks made consistent the way every rebuild leaves them).
    void FillRandom(KeyTree& t, unsigned seed, int nodes = 200)
    {
        std::mt19937 rng(seed);
        t.book.Clear();
        RandomBookOptions o;
        o.nodes = nodes;
        AddRandomBook(t.book, rng, o);
        t.ForgetAllHandles();
        MendAfterRebuild(t);
    }

    // Saves tree's book under password at path, no dialogs.
    void SaveUnder(KeyTree& t, const std::string& password, const std::string& path)
    {
        t.bookPassword = password;
        ASSERT_EQ(SaveBook(t, path), 1);
    }

    // Fills t with a random book and saves it under "pw" as file in a new folder of the
    // program folder. Returns the book's path.
    std::string SaveRandomBookIn(KeyTree& t, unsigned seed, int nodes, const std::string& folder,
                                 const std::string& file)
    {
        FillRandom(t, seed, nodes);
        const std::string dir = InHome(folder);
        std::filesystem::create_directory(dir);
        const std::string path = dir + "/" + file;
        SaveUnder(t, "pw", path);
        return path;
    }
};

}  // namespace morvane
