// Saving a keyed Paradox table in place: only the blocks a change touches are written, in the
// data file, the memo file, the primary index and every secondary index, through the table's
// write-ahead log (pxwal.h). Whatever this cannot do (a table without a key, files laid out in
// a way it does not keep up, a table outgrowing its block size) is left to the whole rewrite.
#include "paradoxtable.h"

#include "engine/engineerror.h"
#include "engine/fileio.h"
#include "pxblob.h"
#include "pxblockfile.h"
#include "pxbytes.h"
#include "pxfield.h"
#include "pxlock.h"
#include "pxsecondary.h"
#include "pxwal.h"
#include "pxwriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_map>
#include <unistd.h>

namespace tv {

using namespace px;

namespace {

// The log is emptied into the files once it holds this much.
constexpr uint64_t kCheckpointBytes = 8u << 20;
// Unused memo bytes (and at least half of the memo file) that make the next save a whole one.
constexpr uint64_t kCompactBytes = 16u << 20;

uint64_t sizeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

// Changes to one sorted file, a later change to a key replacing an earlier one (a deletion
// followed by an insertion of the same key becomes a replacement).
class OpList {
public:
    void put(std::string key, std::string record)
    {
        const auto [it, fresh] = at_.try_emplace(key, ops_.size());
        if (fresh)
            ops_.push_back({std::move(key), std::move(record)});
        else
            ops_[it->second].record = std::move(record);
    }
    std::vector<SortedBlocks::Op> take() { return std::move(ops_); }
    bool empty() const { return ops_.empty(); }

private:
    std::vector<SortedBlocks::Op> ops_;
    std::unordered_map<std::string, size_t> at_;
};

} // namespace

struct ParadoxTable::InPlace {
    SortedBlocks db;
    std::string pxPath;
    std::optional<TreeImage> px;   // the primary index as the files hold it
    struct Index {
        SecondaryLayout layout;
        std::string xPath, yPath;
        SortedBlocks x;
        std::optional<TreeImage> y;
        // The .X file as mapped at the last save, kept while it is the same file of the same size.
        MappedFile xMap;
        dev_t xDev = 0;
        ino_t xIno = 0;
        // The mapping of the .X file as it is now.
        const MappedFile& mappedX()
        {
            struct stat st {};
            if (::stat(xPath.c_str(), &st) != 0 || uint64_t(st.st_size) != xMap.size() || st.st_dev != xDev || st.st_ino != xIno ||
                !xMap.data() || !xMap.intact()) {
                xMap = MappedFile();
                xMap = MappedFile(xPath);
                xDev = st.st_dev;
                xIno = st.st_ino;
            }
            return xMap;
        }
    };
    std::vector<Index> indexes;
    uint64_t mbEnd = 0;
    MemoSmallBlock small;
    uint64_t mbGarbage = 0;   // memo bytes replaced or deleted since the table was opened or written whole
};

ParadoxTable::~ParadoxTable()
{
    // What the log still holds is put into the files for good; should that fail, the next
    // opening does it.
    if (writable_ && !store_.empty() && logSize(store_) > 0) {
        try {
            lock_->lockExclusive();
            logCheckpoint(store_);
        } catch (const EngineError&) {
        }
        lock_->unlock();
    }
}

void ParadoxTable::noteTouched(RecordId id)
{
    if (touchedKnown_)
        touched_.push_back(id);
}

void ParadoxTable::DropInPlace::operator()(InPlace* p) const { delete p; }

ParadoxTable::InPlacePtr ParadoxTable::prepareInPlace() const
{
    if (!writable_ || !imageDb_.empty() || path_.empty() || header_.keyFields == 0 || !header_.hasDataHeader() ||
        header_.headerSize < kLogHeadBytes || db_.size() < header_.headerSize || (blobFields_ > 0 && !haveMb_))
        return nullptr;
    // Files that cannot be read or do not look as expected are left to a whole rewrite.
    try {
        InPlacePtr ip(new InPlace);
        const Header disk = parseHeader(db_.data(), db_.size(), path_);
        bool havePx = false;
        ip->pxPath = companionPath(store_, "PX", &havePx);
        if (!havePx || !ip->db.load(db_.data(), db_.size(), disk, header_.keyBytes(), false))
            return nullptr;
        ip->px.emplace(kPrimaryIndex, header_.blockKiB, std::vector<FieldDesc>(header_.fields.begin(), header_.fields.begin() + header_.keyFields),
                       fileNameOf(ip->pxPath));
        ip->px->setFile(readWholeFile(ip->pxPath));
        if (blobFields_ > 0)
            ip->mbEnd = (sizeOf(mbPath_) + kMbBlock - 1) / kMbBlock * kMbBlock;

        // The secondary indexes must be the files a whole save would write, and no others.
        std::vector<SecondaryLayout> layouts = secondaryLayouts(indexes_, fields_, header_, codePage_, header_.blockKiB, changeCount_, path_);
        const auto indexFile = [](const std::string& ext) { return isSavedCompanion(ext) && (ext[0] == 'X' || ext[0] == 'Y'); };
        if (companionFiles(store_, indexFile).size() != 2 * layouts.size())
            return nullptr;
        for (auto& s : layouts) {
            InPlace::Index ix;
            bool haveX = false, haveY = false;
            ix.xPath = companionPath(store_, s.xExt, &haveX);
            ix.yPath = companionPath(store_, s.yExt, &haveY);
            if (!haveX || !haveY)
                return nullptr;
            const MappedFile x(ix.xPath);
            const Header xh = parseHeader(x.data(), x.size(), ix.xPath);
            if (xh.fileType != s.xl.fileType || xh.recordSize != s.entrySize || xh.numRecords != disk.numRecords ||
                !ix.x.load(x.data(), x.size(), xh, s.treeBytes, s.descending))
                return nullptr;
            s.xl.blockKiB = xh.blockKiB;
            ix.y.emplace(s.treeType(), s.xl.blockKiB, s.treeKey(), fileNameOf(ix.yPath));
            ix.y->setFile(readWholeFile(ix.yPath));
            ix.layout = std::move(s);
            ip->indexes.push_back(std::move(ix));
        }
        return ip;
    } catch (const EngineError&) {
        return nullptr;
    }
}

bool ParadoxTable::saveInPlace()
{
    if (blockKiBFor(ids_.size(), size_t(header_.recordSize), header_.blockKiB) != header_.blockKiB)
        return false;
    if (!inPlace_)
        inPlace_ = prepareInPlace();
    if (!inPlace_)
        return false;
    InPlace& ip = *inPlace_;
    const size_t recordSize = header_.recordSize;
    const size_t keyBytes = header_.keyBytes();
    auto keyOf = [&](const std::string& rec) { return rec.substr(0, keyBytes); };

    if (!touchedKnown_) {
        touched_.clear();
        for (RecordId id = 0; id < rows_.size(); ++id)
            if (rows_[id] && rows_[id]->pending != Pending::None)
                touched_.push_back(id);
    }
    std::vector<RecordId> pending = touched_;
    std::sort(pending.begin(), pending.end());
    pending.erase(std::unique(pending.begin(), pending.end()), pending.end());
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [&](RecordId id) { return id >= rows_.size() || !rows_[id] || rows_[id]->pending == Pending::None; }),
                  pending.end());

    // Memo values replaced or deleted leave their old place unused; once that is most of a
    // memo file of some size, the table is written whole, which packs it again.
    uint64_t garbage = 0;
    auto drop = [&](const std::string& original, const FieldDesc& d) {
        const BlobPointer ptr = blobPointer(reinterpret_cast<const uint8_t*>(original.data()) + d.offset, d.width);
        if ((ptr.offsetIndex & 0xFFFFFF00u) != 0)
            garbage += ptr.length;
    };

    // New memo values go at the end of the memo file.
    ExtendingSink mbSink(ip.mbEnd);
    MemoFileWriter mbw(mbSink, false, ip.small);
    OpList dbOps;   // deletions first: a key given up may be taken by another record
    std::vector<std::string> written;
    for (RecordId id : pending) {
        const Row& row = *rows_[id];
        if (row.pending == Pending::Removed) {
            dbOps.put(keyOf(row.original), {});
            for (const FieldDesc& d : header_.fields)
                if (isBlobType(d.type))
                    drop(row.original, d);
            continue;
        }
        std::string rec = row.raw;
        for (size_t f = 0; f < header_.fields.size(); ++f) {
            const FieldDesc& d = header_.fields[f];
            if (!isBlobType(d.type))
                continue;
            uint8_t* p = reinterpret_cast<uint8_t*>(rec.data()) + d.offset;
            const std::string& blob = row.blobs[size_t(blobSlot_[f])];
            if (row.pending == Pending::Changed) {
                // An unchanged value keeps its place in the memo file.
                const uint8_t* old = reinterpret_cast<const uint8_t*>(row.original.data()) + d.offset;
                try {
                    const auto was = readBlob(haveMb_ ? &mb_ : nullptr, old, d.width, d.type, mbPath_);
                    if ((was ? *was : std::string_view()) == blob) {
                        std::memcpy(p, old, size_t(d.width));
                        continue;
                    }
                } catch (const EngineError&) {
                }
                drop(row.original, d);
            }
            mbw.storeValue(blob, d.type, p, d.width);
        }
        if (row.pending == Pending::Changed && keyOf(row.original) != keyOf(rec))
            dbOps.put(keyOf(row.original), {});
        written.push_back(std::move(rec));
    }
    for (auto& rec : written) {
        std::string key = keyOf(rec);
        dbOps.put(std::move(key), std::move(rec));
    }
    if (ip.mbGarbage + garbage > std::max<uint64_t>(kCompactBytes, ip.mbEnd / 2))
        return false;
    const MemoSmallBlock small = mbw.keepSmallBlock();
    const uint64_t mbEnd = mbSink.size();

    // From the first plan on, the chains in `ip` are what the files become: a save that stops
    // short of writing them drops that state, and the next save reads the files again.
    struct DropUnlessSaved {
        InPlacePtr& state;
        bool saved = false;
        ~DropUnlessSaved()
        {
            if (!saved)
                state.reset();
        }
    } guard{inPlace_};
    auto dbPlan = ip.db.plan(dbOps.take(), db_.data(), db_.size());
    if (!dbPlan)
        return false;
    // Which record each placed one is, found while every record still reads as before.
    auto findId = [&](std::string_view rec) -> RecordId {
        size_t lo = 0, hi = ids_.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (std::memcmp(recordBytes(ids_[mid]), rec.data(), keyBytes) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo == ids_.size() || std::memcmp(recordBytes(ids_[lo]), rec.data(), keyBytes) != 0)
            throw EngineError(path_ + ": cannot save, a record was lost track of");
        return ids_[lo];
    };
    std::vector<RecordId> placedIds;
    std::vector<uint64_t> placedAt;
    placedIds.reserve(dbPlan->placed.size());
    placedAt.reserve(dbPlan->placed.size());
    for (const auto& p : dbPlan->placed) {
        placedIds.push_back(findId(p.record));
        placedAt.push_back(ip.db.blockOffset(p.block) + 6 + uint64_t(p.slot) * recordSize);
    }
    auto oldBlockOf = [&](RecordId id) { return uint16_t((offsets_[id] - header_.headerSize) / header_.blockSize() + 1); };

    // Every secondary index follows: entries of records gone, added, changed or moved.
    std::vector<std::optional<SortedBlocks::Plan>> xPlans;
    std::vector<const MappedFile*> xMaps;
    for (auto& ix : ip.indexes) {
        const SecondaryLayout& s = ix.layout;
        OpList ops;
        std::string entry(s.entrySize, '\0');
        auto entryOf = [&](const std::string& rec, uint16_t block) {
            s.entry(reinterpret_cast<const uint8_t*>(rec.data()), header_.fields, block, 0, 0, entry.data());
            return entry;
        };
        for (RecordId id : pending)
            if (rows_[id]->pending == Pending::Removed)
                ops.put(entryOf(rows_[id]->original, 0).substr(0, s.treeBytes), {});
        std::vector<std::string> entries;
        for (size_t k = 0; k < placedIds.size(); ++k) {
            const RecordId id = placedIds[k];
            const auto& p = dbPlan->placed[k];
            const std::string now = entryOf(std::string(p.record), p.block);
            const Row* row = rows_[id].get();
            std::string before;
            if (row && row->pending == Pending::Changed)
                before = entryOf(row->original, oldBlockOf(id));
            else if (!row || row->pending == Pending::None)
                before = entryOf(std::string(p.record), p.from);
            if (!before.empty() && before.compare(0, s.treeBytes, now, 0, s.treeBytes) != 0)
                ops.put(before.substr(0, s.treeBytes), {});
            if (before != now)
                entries.push_back(now);
        }
        for (auto& e : entries) {
            std::string key = e.substr(0, s.treeBytes);
            ops.put(std::move(key), std::move(e));
        }
        xMaps.push_back(&ix.mappedX());
        xPlans.push_back(ix.x.plan(ops.take(), xMaps.back()->data(), xMaps.back()->size()));
        if (!xPlans.back())
            return false;
    }

    // The transaction: the data file's header first, so that another program reading the
    // table sees at once that it changed.
    LogTransaction t;
    t.files.push_back({"DB", 0, dataFileOf(store_)});
    const std::string head(reinterpret_cast<const char*>(db_.data()), kLogHeadBytes);
    t.headBefore = head;
    std::string newHead = countedHeader(head, ip.db);
    put32(newHead, 0x49, header_.autoInc);
    newHead[0x2D] = char(changeCount_ & 0xFF);
    put16(newHead, 0x70, changeCount_);
    t.writes.push_back({0, 0, newHead});
    for (auto& [offset, bytes] : dbPlan->writes)
        t.writes.push_back({0, offset, std::move(bytes)});
    t.files[0].finalSize = std::max<uint64_t>(sizeOf(store_), ip.db.blockOffset(uint16_t(ip.db.fileBlocks() + 1)));
    if (blobFields_ > 0) {
        const uint16_t mb = t.fileIndex("MB", mbPath_);
        for (auto& [offset, bytes] : mbSink.take())
            t.writes.push_back({mb, offset, std::move(bytes)});
        t.files[mb].finalSize = std::max(sizeOf(mbPath_), mbEnd);
    }
    auto addTree = [&](const std::string& ext, const std::string& path, const TreeImage::Update& u) {
        const uint16_t f = t.fileIndex(ext, path);
        for (const auto& [offset, bytes] : u.writes)
            t.writes.push_back({f, offset, bytes});
        t.files[f].finalSize = u.size;
    };
    const TreeImage::Update pxUpdate = ip.px->update(ip.db, dbPlan->rewritten, dbPlan->reshaped);
    addTree("PX", ip.pxPath, pxUpdate);
    std::vector<TreeImage::Update> yUpdates;
    for (size_t i = 0; i < ip.indexes.size(); ++i) {
        const auto& ix = ip.indexes[i];
        SortedBlocks::Plan& xp = *xPlans[i];
        const uint16_t f = t.fileIndex(ix.layout.xExt, ix.xPath);
        const std::string xHead(reinterpret_cast<const char*>(xMaps[i]->data()), std::min<size_t>(xMaps[i]->size(), kLogHeadBytes));
        t.writes.push_back({f, 0, countedHeader(xHead, ix.x)});
        for (auto& [offset, bytes] : xp.writes)
            t.writes.push_back({f, offset, std::move(bytes)});
        t.files[f].finalSize = std::max<uint64_t>(xMaps[i]->size(), ix.x.blockOffset(uint16_t(ix.x.fileBlocks() + 1)));
        yUpdates.push_back(ix.y->update(ix.x, xp.rewritten, xp.reshaped));
        addTree(ix.layout.yExt, ix.yPath, yUpdates.back());
    }
    // Each write is cut down to the bytes that differ from what the file holds now: a record
    // added to a block changes its header and one record, not the whole block.
    std::vector<std::string_view> held(t.files.size());
    held[0] = db_.bytes();
    for (size_t f = 1; f < t.files.size(); ++f) {
        const std::string& ext = t.files[f].ext;
        if (ext == "MB")
            held[f] = mb_.bytes();
        else if (ext == "PX")
            held[f] = ip.px->image();
        for (size_t i = 0; i < ip.indexes.size(); ++i)
            if (ext == ip.indexes[i].layout.xExt)
                held[f] = xMaps[i]->bytes();
            else if (ext == ip.indexes[i].layout.yExt)
                held[f] = ip.indexes[i].y->image();
    }
    std::vector<LogWrite> needed;
    needed.reserve(t.writes.size());
    for (auto& w : t.writes) {
        const std::string_view old = held[w.file];
        // The data file's header stays whole: it tells a replay which files the log is for.
        if ((w.file == 0 && w.offset == 0) || w.offset + w.bytes.size() > old.size()) {
            needed.push_back(std::move(w));
            continue;
        }
        const char* was = old.data() + w.offset;
        size_t first = 0, last = w.bytes.size();
        while (first < last && w.bytes[first] == was[first])
            ++first;
        while (last > first && w.bytes[last - 1] == was[last - 1])
            --last;
        if (first < last)
            needed.push_back({w.file, w.offset + first, w.bytes.substr(first, last - first)});
    }
    t.writes = std::move(needed);
    xMaps.clear();

    // Durable with the log; only then are the files touched.
    const LogFiles files = logReserve(store_, t);
    logCommit(store_, t);
    try {
        logApply(files, t);
        guard.saved = true;
    } catch (const EngineError& e) {
        inPlace_.reset();
        saveBroken_ = path_ + ": the last change is in the table's save log but could not be written into its files (" + e.what() +
                      "); it is completed when the table is opened again";
        throw EngineError(saveBroken_);
    }

    // Take the new state over.
    for (size_t i = 0; i < ip.indexes.size(); ++i)
        ip.indexes[i].y->adopt(yUpdates[i]);
    ip.px->adopt(pxUpdate);
    ip.mbEnd = mbEnd;
    ip.small = small;
    ip.mbGarbage += garbage;
    const int fd = openPlainFile(store_, O_RDONLY);
    if (fd >= 0) {
        try {
            struct stat st {};
            if (::fstat(fd, &st) == 0 && uint64_t(st.st_size) != db_.size())
                db_ = MappedFile(fd, path_);
            if (blobFields_ > 0 && sizeOf(mbPath_) != mb_.size())
                mb_ = MappedFile(mbPath_);
        } catch (const EngineError&) {
        }
        version_.rememberFd(fd);
        ::close(fd);
    }
    for (size_t k = 0; k < placedIds.size(); ++k)
        offsets_[placedIds[k]] = placedAt[k];
    for (RecordId id : pending) {
        if (rows_[id]->live)
            rows_[id].reset();
        else
            *rows_[id] = Row();   // a deleted record: only the tombstone stays
    }
    listed_.reset();   // the blocks were checked when the chain was read
    header_.numRecords = ip.db.records();
    header_.fileBlocks = header_.usedBlocks = ip.db.fileBlocks();
    header_.firstBlock = ip.db.firstBlock();
    header_.lastBlock = ip.db.lastBlock();
    head_.assign(reinterpret_cast<const char*>(db_.data()), std::min<size_t>(db_.size(), 0x30));
    touched_.clear();
    touchedKnown_ = true;
    dirty_ = false;
    if (logSize(store_) > kCheckpointBytes)
        logCheckpoint(store_);
    return true;
}

} // namespace tv
