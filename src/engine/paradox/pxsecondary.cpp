#include "pxsecondary.h"

#include "engine/codepage.h"
#include "engine/engineerror.h"
#include "pxbytes.h"
#include "pxfield.h"
#include "pxlock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tv::px {

namespace {

std::string hexDigits(unsigned v, int width)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%0*X", width, v);
    return buf;
}

} // namespace

void SecondaryLayout::entry(const uint8_t* rec, const std::vector<FieldDesc>& tableFields, uint16_t block, uint32_t tupNo, uint16_t slot,
                            char* x) const
{
    size_t at = 0;
    for (size_t c : cols) {
        const FieldDesc& d = tableFields[c];
        std::memcpy(x + at, rec + d.offset, size_t(d.width));
        at += size_t(d.width);
    }
    uint8_t* p = reinterpret_cast<uint8_t*>(x);
    if (keyed) {
        std::memcpy(x + at, rec, tableKeyBytes);
        encodeInt(p + at + tableKeyBytes, 2, block);
    } else {
        encodeInt(p + at, 4, tupNo);
        encodeInt(p + at + 4, 2, block);
        encodeInt(p + at + 6, 2, slot);
    }
    // A case-insensitive index stores its alpha keys upper-cased (readers compare them as
    // stored).
    if (caseInsensitive) {
        size_t kat = 0;
        for (size_t c : cols) {
            const FieldDesc& d = tableFields[c];
            if (d.type == FieldType::Alpha)
                for (size_t i = kat; i < kat + size_t(d.width); ++i)
                    if (x[i] >= 'a' && x[i] <= 'z')
                        x[i] = char(x[i] - 32);
            kat += size_t(d.width);
        }
    }
}

std::vector<SecondaryLayout> secondaryLayouts(const std::vector<IndexDef>& indexes, const std::vector<FieldDef>& fields, const Header& h,
                                              int codePage, uint8_t blockKiB, uint16_t changeCount, const std::string& tablePath)
{
    std::vector<SecondaryLayout> out;
    std::vector<std::string> taken;
    int composite = 0;
    const size_t keyBytes = h.keyBytes();
    for (const auto& def : indexes) {
        if (def.primary)
            continue;
        SecondaryLayout s;
        for (const auto& name : def.fields)
            for (size_t f = 0; f < fields.size(); ++f)
                if (fields[f].name == name) {
                    s.cols.push_back(f);
                    break;
                }
        if (s.cols.size() != def.fields.size())
            throw EngineError(tablePath + ": cannot save, the index \"" + def.name + "\" refers to a field the table does not have");
        const std::string singleExt = std::string(1, 'X').append(hexDigits(unsigned(s.cols[0] + 1), 2));
        // A second index of the same plain kind on one field becomes a named one.
        s.single = s.cols.size() == 1 && !def.caseInsensitive && !def.descending && def.name == fields[s.cols[0]].name &&
                   std::find(taken.begin(), taken.end(), singleExt) == taken.end();
        s.keyed = h.keyFields > 0;
        s.descending = def.descending;
        s.caseInsensitive = def.caseInsensitive;
        s.tableKeyBytes = keyBytes;
        if (s.single) {
            s.xExt = singleExt;
            s.yExt = std::string(1, 'Y').append(hexDigits(unsigned(s.cols[0] + 1), 2));
        } else {
            if (composite > 15)
                throw EngineError(tablePath + ": cannot save, a Paradox table holds at most 16 composite or named indexes");
            s.xExt = std::string("XG").append(hexDigits(unsigned(composite), 1));
            s.yExt = std::string("YG").append(hexDigits(unsigned(composite), 1));
            ++composite;
        }
        taken.push_back(s.xExt);
        FileLayout& xl = s.xl;
        xl.fileType = s.single ? (s.keyed ? kSecondaryIncr : kSecondaryNonIncr) : (s.keyed ? kCompositeIncr : kCompositeNonIncr);
        xl.blockKiB = blockKiB;
        xl.codePage = uint16_t(codePage == kCodePageRoman8 ? 0 : codePage);
        xl.changeCount = changeCount;
        xl.indexName = s.single ? std::string() : encodeText(codePage, def.name);
        xl.indexFieldNumber = uint8_t(s.cols[0] + 1);
        xl.options = uint8_t((def.descending ? 0x10 : 0) | (!s.single && def.caseInsensitive ? 0x01 : 0));
        for (size_t c : s.cols) {
            xl.fields.push_back(h.fields[c]);
            xl.fieldNames.push_back(h.fieldNames[c]);
            xl.fieldNumbers.push_back(uint16_t((c + 1) | (def.descending ? 0x8000 : 0)));
        }
        auto helper = [&](FieldType type, const char* name) {
            FieldDesc d;
            d.type = type;
            d.code = fieldCodeOf(type);
            d.size = type == FieldType::Short ? 2 : 4;
            d.width = d.size;
            xl.fields.push_back(d);
            xl.fieldNames.emplace_back(name);
            xl.fieldNumbers.push_back(uint16_t(xl.fields.size()));
        };
        if (s.keyed) {
            for (int k = 0; k < h.keyFields; ++k) {
                xl.fields.push_back(h.fields[size_t(k)]);
                xl.fieldNames.push_back(h.fieldNames[size_t(k)]);
                xl.fieldNumbers.push_back(uint16_t(xl.fields.size()));
            }
            helper(FieldType::Short, "Blk Num");
            xl.keyFields = uint16_t(s.cols.size() + size_t(h.keyFields));
        } else {
            helper(FieldType::Long, "Tup No");
            helper(FieldType::Short, "Blk Num");
            helper(FieldType::Short, "Tup Offset");
            xl.keyFields = uint16_t(s.cols.size() + 2);
        }
        int offset = 0;
        for (auto& d : xl.fields) {
            d.offset = offset;
            offset += d.width;
        }
        s.entrySize = size_t(offset);
        if (s.entrySize + 6 > xl.blockSize())
            throw EngineError(tablePath + ": cannot save, the entries of the index \"" + def.name + "\" are too long for the table's blocks");
        xl.tableName = fileNameOf(companionPath(tablePath, s.xExt));
        s.treeFields = s.keyed ? xl.fields.size() - 1 : s.cols.size() + 1;
        for (size_t i = 0; i < s.treeFields; ++i)
            s.treeBytes += size_t(xl.fields[i].width);
        out.push_back(std::move(s));
    }
    return out;
}

} // namespace tv::px
