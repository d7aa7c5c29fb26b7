// The member index must give exactly the candidates of a plain scan.
#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/archive_file_system.h"
#include "lib/archive_index.h"

namespace {

bool endsWithNoCase(const std::string& name, const std::string& tail) {
    if (tail.size() > name.size()) return false;
    return std::equal(tail.begin(), tail.end(), name.end() - static_cast<long>(tail.size()), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

// Indexes `names` and compares every tail's match with a scan.
void expectMatchesAScan(const std::vector<std::string>& names, const std::vector<std::string>& tails) {
    std::vector<EntryRecord> records(names.size());
    std::vector<EntryRecord*> entries;
    for (size_t i = 0; i < names.size(); ++i) {
        records[i] = EntryRecord{0, 0, 0, 0, const_cast<char*>(names[i].c_str()), nullptr, 0};
        entries.push_back(&records[i]);
    }
    ArchiveIndex index;
    index.build(entries);
    for (const std::string& tail : tails) {
        std::vector<const EntryRecord*> expected, found;
        for (const EntryRecord& record : records) {
            if (endsWithNoCase(record.name, tail)) expected.push_back(&record);
        }
        ArchiveIndex::Range range = index.match(tail.c_str(), tail.size());
        for (size_t i = range.first; i < range.last; ++i) found.push_back(index.entry(i));
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(found, expected) << "tail '" << tail << "'";
    }
}

}  // namespace

// Random names over a small alphabet, with tails of every length taken from
// them (some in upper case) or made up; then many names with long common
// tails: runs of equal keys far longer than the stride of the search fences,
// and tails ending right at a fence or between two.
TEST(ArchiveIndex, MatchesExactlyWhatAScanFinds) {
    std::mt19937 random(12345);
    const char alphabet[] = "aAbB/._0";
    auto randomName = [&](size_t length) {
        std::string name;
        for (size_t j = 0; j < length; ++j) name.push_back(alphabet[random() % 8]);
        return name;
    };
    // A tail of a random name, or (`neighbour`) one that sorts just before or after such a tail.
    auto tailOf = [&](const std::vector<std::string>& names, bool neighbour) {
        const std::string& name = names[random() % names.size()];
        std::string tail = name.substr(random() % (name.size() + 1));
        if (neighbour && !tail.empty()) tail[0] = static_cast<char>(tail[0] + (random() % 2 ? 1 : -1));
        return tail;
    };
    std::vector<std::string> names, tails;
    for (int i = 0; i < 1500; ++i) names.push_back(randomName(1 + random() % 40));
    for (int query = 0; query < 1500; ++query) {
        tails.push_back(query % 2 == 0 ? randomName(random() % 24) : tailOf(names, false));
        if (query % 4 == 1) {
            for (char& c : tails.back()) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    expectMatchesAScan(names, tails);
    expectMatchesAScan({}, {"a", ""});

    names.clear();
    for (int i = 0; i < 6000; ++i) {
        std::string name = "d" + std::to_string(random() % 40) + "/";
        if (i % 3) name += "Shared" + std::to_string(random() % 7) + "/";
        names.push_back(name + std::to_string(random() % 300) + (i % 2 ? ".PNG" : ".bin"));
    }
    tails = {"", "g", ".png", "0.png", "shared3/12.bin", "zz.bin", "7.bin"};
    for (int query = 0; query < 400; ++query) tails.push_back(tailOf(names, query % 3 == 0));
    expectMatchesAScan(names, tails);
}
