#include "kit/lz/lz_pack.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "kit/lz/lz_bit_writer.h"
#include "kit/lz/match_finder.h"

// The parse is optimal per block of positions under the exact bit costs of
// every token, following up to pathCount last offsets for repeats.

namespace {

const uint32_t windowSize = 1u << 22;
const uint32_t niceLength = 256;
const uint32_t searchDepth = 64;
const size_t blockPositions = 1 << 16;
const uint32_t infinity = std::numeric_limits<uint32_t>::max();

enum class Kind : uint8_t { Literal, Near, Short, Repeat, Match };

// Bit costs of the tokens.
const uint32_t literalBits = 1 + 8;
const uint32_t nearBits = 3 + 4;
const uint32_t shortBits = 3 + 8;

uint32_t gammaBits(uint32_t value) {
    return 2 * (31 - __builtin_clz(value));
}

// The unpacker adds this to a match's coded length, by offset range.
uint32_t lengthBonus(uint32_t offset) {
    if (offset >= 32000) return 2;
    if (offset >= 1280) return 1;
    if (offset < 128) return 2;
    return 0;
}

uint32_t matchBits(uint32_t offset, uint32_t length) {
    uint32_t bonus = lengthBonus(offset);
    if (length < bonus + 2) return infinity;
    return 2 + gammaBits((offset >> 8) + 3) + 8 + gammaBits(length - bonus);
}

uint32_t repeatBits(uint32_t length) {
    return 2 + gammaBits(2) + gammaBits(length);
}

// Offset (1 to 15) of an equal byte just behind, 0 for a zero byte (which the
// near token writes outright), -1 when the near token cannot produce it.
int nearOffset(const uint8_t* data, size_t position) {
    uint8_t value = data[position];
    if (value == 0) return 0;
    size_t limit = std::min<size_t>(15, position);
    for (size_t offset = 1; offset <= limit; offset++) {
        if (data[position - offset] == value) return static_cast<int>(offset);
    }
    return -1;
}

uint32_t commonLength(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t length = 0;
    // Eight bytes at a time; the lowest differing bit is in the first
    // differing byte on little-endian machines.
    while (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ && length + 8 <= limit) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a + length, 8);
        std::memcpy(&y, b + length, 8);
        if (x != y) return static_cast<uint32_t>(length + __builtin_ctzll(x ^ y) / 8);
        length += 8;
    }
    while (length < limit && a[length] == b[length]) length++;
    return static_cast<uint32_t>(length);
}

// One way to reach a position: the token that ends there and the path
// before it.
struct Step {
    uint32_t price;   // bits from the block start
    uint32_t repeat;  // last offset after this path
    uint32_t length;  // bytes produced by the token that ends here
    uint32_t offset;
    Kind kind;
    uint32_t tail;    // when not 0: `gap` bytes and a repeat of this length follow the token
    uint8_t from;     // which path at the token's start it continues
    uint8_t gap;
};

// The cheapest paths that leave different last offsets, cheapest first: a
// dearer path can pay off when its offset repeats later.
const size_t pathCount = 16;

// A match may be followed by up to this many differing bytes and then more of
// the same match.
const uint32_t longestGap = 3;

struct Node {
    Step path[pathCount];
};

struct Token {
    Kind kind;
    uint32_t length;
    uint32_t offset;
    uint32_t tail;
    uint32_t gap;

    uint32_t span() const { return tail ? length + gap + tail : length; }
};

const uint32_t noRepeat = std::numeric_limits<uint32_t>::max();

class Parser {
public:
    Parser(const uint8_t* data, size_t size)
        : data_(data), size_(size), finder_(data, size, windowSize, niceLength, searchDepth),
          nodes_(std::min(blockPositions, size) + 1), byteBits_(std::min(blockPositions, size)) {}

    // Appends the tokens for positions [start, end) and returns the last
    // offset after them.
    uint32_t parseBlock(size_t start, size_t end, uint32_t repeat, std::vector<Token>& tokens);

    void skip(size_t position) { finder_.skip(position); }

private:
    void relax(size_t index, const Step& step) {
        Node& node = nodes_[index];
        Step* paths = node.path;
        // One no cheaper than the dearest path cannot replace any of them.
        if (step.price >= paths[pathCount - 1].price) return;
        size_t slot = pathCount - 1;
        for (size_t i = 0; i < pathCount; i++) {
            if (paths[i].repeat == step.repeat) {
                if (step.price >= paths[i].price) return;
                slot = i;
                break;
            }
        }
        // Keep the paths ordered by price, the cheapest first.
        while (slot > 0 && paths[slot - 1].price > step.price) {
            paths[slot] = paths[slot - 1];
            slot--;
        }
        paths[slot] = step;
    }

    // A match is often followed by a differing byte or a few and then more of
    // the same match; the path's single last offset would miss that if the
    // path is not among the kept ones, so price the tokens together.
    void relaxWithTail(size_t position, size_t end, const Step& here, uint8_t from, Kind kind, uint32_t length,
                       uint32_t offset, uint32_t bits) {
        if (bits == infinity) return;
        size_t after = position + length;
        uint32_t gapBits = 0;
        for (uint32_t gap = 1; gap <= longestGap && after + gap + 2 <= end; gap++) {
            gapBits += byteBits_[after + gap - 1 - start_];
            size_t resumed = after + gap;
            uint32_t tail = commonLength(data_ + resumed, data_ + resumed - offset, end - resumed);
            if (tail < 2) continue;
            relax(resumed + tail - start_, {here.price + bits + gapBits + repeatBits(tail), offset, length, offset, kind,
                                            tail, from, static_cast<uint8_t>(gap)});
        }
    }

    // The tokens that keep the path's last offset: one byte, or a repeat.
    // near: nearOffset at the position.
    void relaxKeepingOffset(size_t position, size_t end, const Step& here, uint8_t from, int near) {
        size_t k = position - start_;
        size_t available = end - position;
        relax(k + 1, {here.price + literalBits, here.repeat, 1, 0, Kind::Literal, 0, from, 0});
        if (near >= 0) {
            relax(k + 1, {here.price + nearBits, here.repeat, 1, static_cast<uint32_t>(near), Kind::Near, 0, from, 0});
        }
        if (here.repeat == 0 || here.repeat > position) return;
        const uint8_t* current = data_ + position;
        uint32_t repeatLength = commonLength(current, current - here.repeat, available);
        if (repeatLength < 2) return;
        uint32_t first = repeatLength >= niceLength ? repeatLength : 2;
        for (uint32_t length = first; length <= repeatLength; length++) {
            relax(k + length, {here.price + repeatBits(length), here.repeat, length, here.repeat, Kind::Repeat, 0, from, 0});
        }
        relaxWithTail(position, end, here, from, Kind::Repeat, repeatLength, here.repeat, repeatBits(repeatLength));
    }

    const uint8_t* data_;
    size_t size_;
    MatchFinder finder_;
    LzCandidates found_;
    std::vector<Node> nodes_;
    std::vector<uint8_t> byteBits_;  // per block position: the cheaper of a literal and a near token
    size_t start_ = 0;
};

uint32_t Parser::parseBlock(size_t start, size_t end, uint32_t repeat, std::vector<Token>& tokens) {
    size_t span = end - start;
    start_ = start;
    const Step unreached{infinity, noRepeat, 0, 0, Kind::Literal, 0, 0, 0};
    for (size_t k = 0; k <= span; k++) {
        for (Step& path : nodes_[k].path) path = unreached;
    }
    nodes_[0].path[0] = {0, repeat, 0, 0, Kind::Literal, 0, 0, 0};
    for (size_t k = 0; k < span; k++) byteBits_[k] = nearOffset(data_, start + k) >= 0 ? nearBits : literalBits;

    size_t position = start;
    while (position < end) {
        size_t k = position - start;
        // Tokens only relax positions after k, so these stay as they are.
        const Node& node = nodes_[k];
        const Step& here = node.path[0];
        size_t available = end - position;
        const uint8_t* current = data_ + position;
        finder_.findMatches(position, found_);
        const std::vector<LzMatch>& longest = found_.longest;
        int near = nearOffset(data_, position);

        // A long match is taken whole: the positions inside it are not worth
        // pricing and are only entered into the match finder.
        uint32_t jump = 0;
        uint32_t repeatLength = 0;
        if (here.repeat != 0 && here.repeat <= position) {
            repeatLength = commonLength(current, current - here.repeat, available);
        }
        if (repeatLength >= niceLength) {
            jump = repeatLength;
            relax(k + jump, {here.price + repeatBits(jump), here.repeat, jump, here.repeat, Kind::Repeat, 0, 0, 0});
        } else if (!longest.empty() && longest.back().length >= niceLength) {
            // Cut at the block end, the match may be too short for its offset.
            uint32_t offset = longest.back().offset;
            uint32_t length = commonLength(current, current - offset, available);
            uint32_t bits = matchBits(offset, length);
            if (bits != infinity) {
                jump = length;
                relax(k + jump, {here.price + bits, offset, jump, offset, Kind::Match, 0, 0, 0});
            }
        }
        for (size_t i = 0; i < pathCount && node.path[i].price != infinity; i++) {
            relaxKeepingOffset(position, end, node.path[i], static_cast<uint8_t>(i), near);
        }
        if (jump > 0) {
            for (size_t skipped = position + 1; skipped < position + jump; skipped++) finder_.skip(skipped);
            position += jump;
            continue;
        }

        // New offsets continue the cheapest path only: the path before them
        // does not matter after them. Every length of the nearest matches.
        uint32_t covered = 1;
        for (const LzMatch& match : longest) {
            uint32_t offset = match.offset;
            uint32_t top = static_cast<uint32_t>(std::min<size_t>(match.length, available));
            for (uint32_t length = covered + 1; length <= top; length++) {
                if (offset < 128 && length <= 3) {
                    relax(k + length, {here.price + shortBits, offset, length, offset, Kind::Short, 0, 0, 0});
                } else {
                    uint32_t bits = matchBits(offset, length);
                    if (bits != infinity) relax(k + length, {here.price + bits, offset, length, offset, Kind::Match, 0, 0, 0});
                }
            }
            covered = std::max(covered, top);
            bool isShort = offset < 128 && top <= 3;
            relaxWithTail(position, end, here, 0, isShort ? Kind::Short : Kind::Match, top, offset,
                          isShort ? shortBits : matchBits(offset, top));
        }
        // Matches at other offsets whole, for the last offset they leave.
        for (const LzMatch& match : found_.others) {
            uint32_t offset = match.offset;
            uint32_t top = static_cast<uint32_t>(std::min<size_t>(match.length, available));
            if (top < 2) continue;
            bool isShort = offset < 128 && top <= 3;
            Kind kind = isShort ? Kind::Short : Kind::Match;
            uint32_t bits = isShort ? shortBits : matchBits(offset, top);
            if (bits != infinity) relax(k + top, {here.price + bits, offset, top, offset, kind, 0, 0, 0});
            relaxWithTail(position, end, here, 0, kind, top, offset, bits);
        }
        position++;
    }

    size_t first = tokens.size();
    uint8_t which = 0;
    for (size_t k = span; k > 0;) {
        const Step& step = nodes_[k].path[which];
        Token token{step.kind, step.length, step.offset, step.tail, step.gap};
        tokens.push_back(token);
        which = step.from;
        k -= token.span();
    }
    std::reverse(tokens.begin() + first, tokens.end());
    return nodes_[span].path[0].repeat;
}

void writeToken(LzBitWriter& writer, const Token& token, const uint8_t* data, size_t position) {
    switch (token.kind) {
    case Kind::Literal:
        writer.bit(0);
        writer.byte(data[position]);
        break;
    case Kind::Near:
        writer.bit(1);
        writer.bit(1);
        writer.bit(1);
        for (int i = 3; i >= 0; i--) writer.bit((token.offset >> i) & 1);
        break;
    case Kind::Short:
        writer.bit(1);
        writer.bit(1);
        writer.bit(0);
        writer.byte(static_cast<uint8_t>((token.offset << 1) | (token.length - 2)));
        break;
    case Kind::Repeat:
        writer.bit(1);
        writer.bit(0);
        writer.gamma(2);
        writer.gamma(token.length);
        break;
    case Kind::Match:
        writer.bit(1);
        writer.bit(0);
        writer.gamma((token.offset >> 8) + 3);
        writer.byte(static_cast<uint8_t>(token.offset & 0xFF));
        writer.gamma(token.length - lengthBonus(token.offset));
        break;
    }
    if (token.tail) {
        size_t after = position + token.length;
        for (size_t byte = after; byte < after + token.gap; byte++) {
            int near = nearOffset(data, byte);
            if (near >= 0) {
                writeToken(writer, {Kind::Near, 1, static_cast<uint32_t>(near), 0, 0}, data, byte);
            } else {
                writeToken(writer, {Kind::Literal, 1, 0, 0, 0}, data, byte);
            }
        }
        writeToken(writer, {Kind::Repeat, token.tail, token.offset, 0, 0}, data, after + token.gap);
    }
}

}  // namespace

std::vector<uint8_t> lzPack(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (size == 0) return out;
    out.reserve(size + size / 8 + 16);
    LzBitWriter writer(out);
    writer.byte(data[0]);  // the unpacker copies the first byte as it is

    Parser parser(data, size);
    parser.skip(0);
    std::vector<Token> tokens;
    uint32_t repeat = 0;
    for (size_t start = 1; start < size;) {
        size_t end = std::min(size, start + blockPositions);
        tokens.clear();
        repeat = parser.parseBlock(start, end, repeat, tokens);
        size_t position = start;
        for (const Token& token : tokens) {
            writeToken(writer, token, data, position);
            position += token.span();
        }
        start = end;
    }

    // The end marker: a short match with offset 0.
    writer.bit(1);
    writer.bit(1);
    writer.bit(0);
    writer.byte(0);
    return out;
}
