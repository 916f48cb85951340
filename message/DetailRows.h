// The detail rows under a lock or key record, which show how the last message was cut into
// blocks: group 27 "计算前编码细节" (rows 42, 28..37) and group 38 "计算后编码细节" (rows 39..41).
// A row reads: label, the count with at least four digits, "字节): ", the value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "book/Book.h"
#include "platform/Phrase.h"

namespace morvane {

// The row's label up to and including "(" (GBK); "" for a kind that is not a detail row.
std::string DetailRowLabel(std::int32_t row);
// The group kind (27 or 38) a row lives in; 0 for a kind that is not a detail row.
std::int32_t DetailGroupOf(std::int32_t row);
// The whole text of a row showing count and value (value as given, GBK).
std::string DetailRowText(std::int32_t row, std::uint32_t count, std::string_view value);

// A tree line cut into its fixed label and the rest (GBK), which a command or the user wrote.
// For field lines (12..26), the detail groups (27, 38) and detail rows whose text starts with
// their kind's label (a row's with its byte count, the phrase's argument); nullopt otherwise.
// The label filled in gives back the text's start byte for byte.
struct LabelledLine {
    Phrase label;
    std::string rest;
};
std::optional<LabelledLine> SplitFixedLabel(std::int32_t kind, std::string_view text);

// Sets the row's text under record. The row item, or none when the record has no such group
// or row (or the text cannot be set).
Node ShowDetailRow(Book& book, Node record, std::int32_t row, std::uint32_t count, std::string_view value);
// Clears the record's output field and resets every row of both groups, except the row of
// kind keep (0 keeps none), to count 0 and no value. 1, or -1 when the record lacks its
// output field or one of the groups.
[[nodiscard]] int ResetDetailRows(Book& book, Node record, std::int32_t keep);
// Expands or collapses both groups of the record. 1, or -1 when a group is missing.
[[nodiscard]] int ShowDetailNodes(Book& book, Node record, bool expand);

}  // namespace morvane
