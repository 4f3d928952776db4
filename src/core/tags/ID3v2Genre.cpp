#include "core/tags/ID3v2Genre.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/tags/Genres.h"

namespace melodrix {
namespace {

constexpr std::string_view kJoint = "; ";

bool AllDigits(std::string_view text) {
    return !text.empty() && text.size() <= 3 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The name a reference stands for: a table number, "RX" or "CR".
std::optional<std::string_view> ReferenceName(std::string_view reference) {
    if (AllDigits(reference)) {
        const int number = std::stoi(std::string(reference));
        if (number < GenreCount) {
            return GenreNames[static_cast<size_t>(number)];
        }
        return std::nullopt;
    }
    if (reference == "RX") {
        return "Remix";
    }
    if (reference == "CR") {
        return "Cover";
    }
    return std::nullopt;
}

std::string ResolveOne(std::string_view value, bool version24) {
    if (value.empty() || value.front() != '(') {
        if (AllDigits(value) || (version24 && (value == "RX" || value == "CR"))) {
            if (const std::optional<std::string_view> name = ReferenceName(value)) {
                return std::string(*name);
            }
        }
        return std::string(value);
    }
    std::vector<std::string_view> names;
    std::string_view rest = value;
    while (!rest.empty() && rest.front() == '(') {
        if (rest.size() >= 2 && rest[1] == '(') {
            rest.remove_prefix(1);  // "((" stands for a text that starts with "("
            break;
        }
        const size_t close = rest.find(')');
        if (close == std::string_view::npos) {
            return std::string(value);
        }
        const std::optional<std::string_view> name = ReferenceName(rest.substr(1, close - 1));
        if (!name) {
            return std::string(value);  // not a reference, so a text of its own
        }
        names.push_back(*name);
        rest.remove_prefix(close + 1);
    }
    if (!rest.empty()) {
        return std::string(rest);
    }
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
        if (std::find(names.begin(), names.begin() + static_cast<ptrdiff_t>(i), names[i]) !=
            names.begin() + static_cast<ptrdiff_t>(i)) {
            continue;  // "(17)(17)" names one genre
        }
        if (!joined.empty()) {
            joined += kJoint;
        }
        joined += names[i];
    }
    return joined;
}

}  // namespace

std::string ResolveGenreReferences(std::string_view text, bool version24) {
    // The reader has joined several values with "; " already; each is resolved alone. A plain
    // text holding "; " comes back as it was, as each piece of it does.
    std::string resolved;
    while (true) {
        const size_t joint = text.find(kJoint);
        resolved += ResolveOne(text.substr(0, joint), version24);
        if (joint == std::string_view::npos) {
            return resolved;
        }
        resolved += kJoint;
        text.remove_prefix(joint + kJoint.size());
    }
}

}  // namespace melodrix
