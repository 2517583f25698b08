#include "cdxindex.h"

#include "bytes.h"
#include "mdxindex.h"

#include "engine/codepage.h"

#include <algorithm>

namespace tv::dbase {

namespace {

constexpr size_t kNodeSize = 512;
constexpr size_t kCdxHeaderSize = 1024;    // the header page and the expression pool after it
constexpr uint16_t kLeafNode = 0x02;
constexpr size_t kNodeKeysAt = 12;      // interior nodes
constexpr size_t kLeafKeysAt = 24;      // leaf nodes: fixed-size entries, then key bytes from the end
constexpr uint32_t kNoNode = 0xFFFFFFFFu;

uint32_t beU32(std::string_view b, size_t off)
{
    return (uint32_t(uint8_t(b[off])) << 24) | (uint32_t(uint8_t(b[off + 1])) << 16) |
           (uint32_t(uint8_t(b[off + 2])) << 8) | uint8_t(b[off + 3]);
}

std::string_view nodeAt(std::string_view bytes, uint64_t offset, const std::string& path)
{
    if (offset % kNodeSize != 0 || offset + kNodeSize > bytes.size())
        throw EngineError(path + ": index node at byte " + std::to_string(offset) + " lies outside the file (" +
                          std::to_string(bytes.size()) + " bytes)");
    return bytes.substr(size_t(offset), kNodeSize);
}

// The keys of one leaf, each handed to `visit` with its number; `previous` is the key before
// the leaf's first (all fill before the first leaf) and is left holding its last.
void readLeaf(std::string_view node, size_t keyLength, char fill, std::string& previous, const CdxKeyVisitor& visit,
              const std::string& path, uint64_t at)
{
    const size_t count = u16At(node, 2);
    const uint32_t recordMask = u32At(node, 14);
    const unsigned dupMask = uint8_t(node[18]), trailMask = uint8_t(node[19]);
    const unsigned recordBits = uint8_t(node[20]), dupBits = uint8_t(node[21]);
    const size_t entryBytes = uint8_t(node[23]);
    auto damaged = [&](const std::string& what) {
        return EngineError(path + ": index leaf at byte " + std::to_string(at) + " " + what);
    };
    if (entryBytes == 0 || entryBytes > 8 || recordBits + dupBits >= 64)
        throw damaged("has entries of " + std::to_string(entryBytes) + " bytes with " + std::to_string(recordBits) +
                      " record and " + std::to_string(dupBits) + " shared-byte bits");
    if (kLeafKeysAt + count * entryBytes > kNodeSize)
        throw damaged("counts " + std::to_string(count) + " keys, more than it holds");
    // Each key keeps only what differs from the one before: it shares `dup` leading bytes with
    // it and leaves out `trail` trailing fill bytes (blanks of a text key, zeros of any other).
    std::string key;
    size_t keyEnd = kNodeSize;
    for (size_t i = 0; i < count; ++i) {
        uint64_t v = 0;
        for (size_t b = entryBytes; b-- > 0;)
            v = (v << 8) | uint8_t(node[kLeafKeysAt + i * entryBytes + b]);
        const uint32_t number = uint32_t(v & recordMask);
        const size_t dup = size_t((v >> recordBits) & dupMask);
        const size_t trail = size_t((v >> (recordBits + dupBits)) & trailMask);
        if (dup + trail > keyLength)
            throw damaged("has a key with " + std::to_string(dup + trail) + " shared and trailing bytes, more than its length " +
                          std::to_string(keyLength));
        const size_t fresh = keyLength - dup - trail;
        if (keyEnd < kLeafKeysAt + count * entryBytes + fresh)
            throw damaged("has more key bytes than room for them");
        keyEnd -= fresh;
        key.assign(previous, 0, dup);
        key.append(node.substr(keyEnd, fresh));
        key.append(trail, fill);
        visit(key, number);
        previous.swap(key);
    }
}

} // namespace

void forEachCdxKey(std::string_view bytes, size_t headerOffset, const std::string& path, char fill, const CdxKeyVisitor& visit)
{
    if (headerOffset + kCdxHeaderSize > bytes.size())
        throw EngineError(path + ": index header at byte " + std::to_string(headerOffset) + " lies outside the file (" +
                          std::to_string(bytes.size()) + " bytes)");
    const std::string_view header = bytes.substr(headerOffset, kCdxHeaderSize);
    const size_t keyLength = u16At(header, 12);
    if (keyLength == 0 || keyLength > 240)
        throw EngineError(path + ": index at byte " + std::to_string(headerOffset) + " has keys of " +
                          std::to_string(keyLength) + " bytes");
    const auto loops = [&] { return EngineError(path + ": the index at byte " + std::to_string(headerOffset) + " loops"); };
    // The whole tree, depth first with the children of each interior node in key order: the
    // leaves come out left to right, each node once.
    std::vector<uint8_t> seen(bytes.size() / kNodeSize + 1, 0);
    std::vector<uint64_t> pending{u32At(header, 0)}, leaves;
    std::string previous(keyLength, fill);
    const size_t entrySize = keyLength + 8;   // interior entries: key, record number, child
    while (!pending.empty()) {
        const uint64_t at = pending.back();
        pending.pop_back();
        const std::string_view node = nodeAt(bytes, at, path);
        if (seen[size_t(at / kNodeSize)]++)
            throw loops();
        if (u16At(node, 0) & kLeafNode) {
            readLeaf(node, keyLength, fill, previous, visit, path, at);
            leaves.push_back(at);
            continue;
        }
        const size_t count = u16At(node, 2);
        if (count == 0)
            throw EngineError(path + ": index node at byte " + std::to_string(at) + " has no keys");
        if (kNodeKeysAt + count * entrySize > kNodeSize)
            throw EngineError(path + ": index node at byte " + std::to_string(at) + " counts " + std::to_string(count) +
                              " keys, more than it holds");
        for (size_t i = count; i-- > 0;)
            pending.push_back(beU32(node, kNodeKeysAt + i * entrySize + keyLength + 4));
    }
    // The leaves link to their right neighbours as the tree orders them; a link that goes
    // elsewhere means the tree was left half changed.
    for (size_t i = 0; i < leaves.size(); ++i) {
        const uint32_t next = u32At(bytes, size_t(leaves[i]) + 8);
        if (i + 1 == leaves.size()) {
            if (next == kNoNode || next == 0)
                break;
            if (next % kNodeSize == 0 && next / kNodeSize < seen.size() && seen[next / kNodeSize])
                throw loops();
            throw EngineError(path + ": index leaf at byte " + std::to_string(leaves[i]) + ", the last of its tree, links to byte " +
                              std::to_string(next));
        }
        if (next != leaves[i + 1])
            throw EngineError(path + ": index leaf at byte " + std::to_string(leaves[i]) + " links to byte " + std::to_string(next) +
                              ", but the tree puts the leaf at byte " + std::to_string(leaves[i + 1]) + " after it");
    }
}

std::vector<CdxKey> readCdxKeys(std::string_view bytes, size_t headerOffset, const std::string& path, char fill)
{
    std::vector<CdxKey> keys;
    forEachCdxKey(bytes, headerOffset, path, fill, [&](std::string_view key, uint32_t number) {
        keys.push_back({std::string(key), number});
    });
    return keys;
}

std::vector<uint32_t> readCdxOrder(std::string_view bytes, size_t headerOffset, const std::string& path, uint32_t recordCount,
                                   char fill)
{
    const std::string index = path + ": the index at byte " + std::to_string(headerOffset);
    std::vector<uint8_t> listed(recordCount, 0);
    std::vector<uint32_t> order;
    std::string previous;
    uint32_t previousNumber = 0;
    int direction = 0;   // 1: keys stored ascending, -1: descending, 0: all equal so far
    forEachCdxKey(bytes, headerOffset, path, fill, [&](std::string_view key, uint32_t n) {
        if (n == 0 || n > recordCount)
            throw EngineError(index + " names record " + std::to_string(n) + ", but the table has " + std::to_string(recordCount));
        if (listed[n - 1]++)
            throw EngineError(index + " lists record " + std::to_string(n) + " twice");
        if (!order.empty()) {
            const int c = std::string_view(previous).compare(key);
            const int step = c < 0 ? 1 : c > 0 ? -1 : 0;
            if (step != 0 && direction != 0 && step != direction)
                throw EngineError(index + " has its keys out of order (record " + std::to_string(previousNumber) + " before record " +
                                  std::to_string(n) + ")");
            if (step != 0)
                direction = step;
        }
        previous.assign(key);
        previousNumber = n;
        order.push_back(n - 1);
    });
    const std::string_view header = bytes.substr(headerOffset, kCdxHeaderSize);
    const bool hasFor = (uint8_t(header[14]) & 0x08) && u16At(header, 506) > 1;
    const bool unique = uint8_t(header[14]) & 0x01;   // one record of each key
    const bool descending = u16At(header, 502) != 0;
    // Every record has its key, deleted ones too; a tag with a FOR condition only those that
    // meet it, a unique tag one record of each key.
    if (!hasFor && !unique && order.size() != recordCount)
        throw EngineError(index + " holds " + std::to_string(order.size()) + " keys for the " + std::to_string(recordCount) +
                          " records of the table");
    // The tree may keep a descending tag's keys either way round: it is read in the tag's order.
    if (direction != 0 && (direction < 0) != descending)
        std::reverse(order.begin(), order.end());
    return order;
}

std::vector<IndexDef> readCdxTags(std::string_view bytes, const std::string& path, const std::vector<FieldDef>& fields,
                                  int codePage, std::vector<uint32_t>* headers)
{
    std::vector<IndexDef> result;
    for (const CdxKey& entry : readCdxKeys(bytes, 0, path)) {
        IndexDef def;
        std::string_view name = entry.key;
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0'))
            name.remove_suffix(1);
        def.name = decodeText(codePage, name);
        if (entry.number + kCdxHeaderSize > bytes.size() || entry.number == 0)
            throw EngineError(path + ": tag " + def.name + " has its header at byte " + std::to_string(entry.number) +
                              ", outside the file (" + std::to_string(bytes.size()) + " bytes)");
        const std::string_view header = bytes.substr(entry.number, kCdxHeaderSize);
        const std::string_view pool = header.substr(512);
        const size_t keyAt = u16At(header, 508), keyLength = u16At(header, 510);
        if (keyAt + keyLength > pool.size() || keyLength == 0)
            throw EngineError(path + ": tag " + def.name + " has its key expression outside its header");
        std::string_view expression = pool.substr(keyAt, keyLength);
        expression = expression.substr(0, expression.find('\0'));
        def.expressionText = decodeText(codePage, expression);
        // A tag with a FOR condition holds only the records that meet it: it is kept as an
        // expression, so that no order takes it for an index of every record.
        const size_t forAt = u16At(header, 504), forLength = u16At(header, 506);
        if ((uint8_t(header[14]) & 0x08) && forLength > 1) {
            if (forAt + forLength > pool.size())
                throw EngineError(path + ": tag " + def.name + " has its FOR condition outside its header");
            std::string_view condition = pool.substr(forAt, forLength);
            condition = condition.substr(0, condition.find('\0'));
            def.expressionText += " FOR " + decodeText(codePage, condition);
        }
        def.descending = u16At(header, 502) != 0;
        interpretKeyExpression(def, fields);
        result.push_back(std::move(def));
        if (headers)
            headers->push_back(entry.number);
    }
    return result;
}

} // namespace tv::dbase
