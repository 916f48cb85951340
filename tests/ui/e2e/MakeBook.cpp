// Writes a large book file for the end-to-end tests: `keys` directories, each holding a lock
// and a key whose modulus line holds random hex digits, so that the file stays large after
// compression and takes a while to write.
//
//   morvane_e2e_make_book <path> <password> <keys>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "book/BookFile.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"

using namespace morvane;

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: morvane_e2e_make_book <path> <password> <keys>\n", stderr);
        return 2;
    }
    const int keys = std::atoi(argv[3]);
    KeyTree tree(nullptr);
    Book& book = tree.book;
    const Node root = book.Insert(Node{}, ItemKind::BookRoot, Gbk("大通讯薄"));
    std::mt19937 rng(7);
    const char* hex = "0123456789ABCDEF";
    for (int i = 0; i < keys && root; ++i) {
        const Node dir = book.Insert(root, ItemKind::Directory, "D" + std::to_string(i));
        for (const std::int32_t kind : {KindCode(ItemKind::Lock), KindCode(ItemKind::Key)}) {
            const Node record = AddRecord(book, dir, kind, (kind == KindCode(ItemKind::Lock) ? "L" : "K") + std::to_string(i), 0, true);
            const Node n = FindChildByKind(book, record, ItemKind::ModulusField);
            if (!n)
                continue;
            std::string text = book.Text(n);
            for (int d = 0; d < 256; ++d)
                text += hex[rng() % 16];
            (void)book.SetText(n, text);
        }
    }
    book.Expand(root, true);
    book.Select(root);
    std::vector<std::uint8_t> file;
    if (EncodeBookFile(tree, argv[2], file) != 1 || !WriteFileAtomically(argv[1], file)) {
        std::fprintf(stderr, "morvane_e2e_make_book: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
