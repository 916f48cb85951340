// A small key book with fixed keys for the message tests: records made from pre-generated
// keys, the action-line click that loads a record into the first engine, and a deterministic
// random source for the padding.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "book/KeyTree.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"

namespace morvane {

struct TestKey {
    int bits;
    const char* n;
    const char* e;
    const char* d;
    const char* p;
    const char* q;
    const char* u;
};
extern const TestKey kTestKeys[];
extern const int kTestKeyCount;

// The index-th fixed key of that size (index 0 and 1 exist for every size).
const TestKey& KeyOf(int bits, int index = 0);

class SeededSource : public RandomSource {
public:
    explicit SeededSource(std::uint32_t seed) : rng_(seed) {}
    std::uint32_t Next() override { return rng_() % 32768; }

private:
    std::mt19937 rng_;
};

// The strength field value the book uses for a size ("中 1024Bits"), GBK.
std::string StrengthValue(int bits);

class MessageBook {
public:
    MessageBook();
    ~MessageBook();

    ScriptedDesktop desktop;
    RecordingView view;
    SeededSource source{12345};
    KeyTree tree{&desktop};
    Node root;
    Node dir;  // "目录A", empty at first

    Node AddDirectory(const std::string& utf8Name);
    // A lock holding the key's N and E, or a key holding all of it, under parent.
    Node AddLock(Node parent, const std::string& utf8Name, const TestKey& key);
    Node AddKey(Node parent, const std::string& utf8Name, const TestKey& key);

    // The click on the record's action line: marks it and checks the record on the first
    // engine, as the selection display does. True when the key is usable.
    bool Click(Node record);
    void SetInput(Node record, const std::string& gbkText);
    std::string Field(Node record, ItemKind kind) const;     // value, GBK
    std::string RowText(Node record, ItemKind row) const;    // whole text as UTF-8
    std::string Output(Node record) const { return Field(record, ItemKind::OutputField); }

    // Click, set input and run the protect command. The command's result.
    int Protect(Node record, const std::string& gbkInput, int sign, int* result = nullptr);
};

}  // namespace morvane
