// Putting the pieces of UU files together and judging the result.
#include "replies/uujoin.h"

#include <algorithm>
#include <map>

#include "mail/filename.h"

namespace {

constexpr int kFullCount = 45;

} // namespace

size_t TUUFile::Size() const
{
    size_t size = 0;
    for (const TUUPiece* p : parts)
        if (p) size += p->Bytes();
    return size;
}

namespace {

std::string PartList(const std::vector<int>& numbers)
{
    std::string text;
    for (int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
    return text;
}

// How many parts the bytes lacking would fill, judged by the longest part.
int PartsLacking(const TUUFile& file, size_t lacking)
{
    size_t perPart = 0;
    for (size_t i = 0; i + 1 < file.parts.size(); ++i) perPart = std::max(perPart, file.parts[i]->lines);
    if (perPart == 0) return 1;
    size_t lines = (lacking + kFullCount - 1) / kFullCount;
    return static_cast<int>(std::max<size_t>(1, (lines + perPart - 1) / perPart));
}

void Judge(TUUFile& file, TUUStatus status, std::string reason)
{
    file.status = status;
    file.reason = std::move(reason);
}

} // namespace

void CheckParts(TUUFile& file)
{
    file.missing.clear();
    file.unplaced = 0;
    const size_t count = file.parts.size();
    for (size_t i = 0; i < count; ++i)
        if (!file.parts[i]) file.missing.push_back(static_cast<int>(i + 1));
    if (!file.missing.empty()) {
        std::string of = file.numbered ? " of " + std::to_string(count) : "";
        return Judge(file, TUUStatus::Incomplete,
                     (file.missing.size() == 1 ? "missing part " : "missing parts ") + PartList(file.missing) + of);
    }
    if (file.parts[0]->beginLine.empty())
        return Judge(file, TUUStatus::Failed, "part 1 holds no begin line: the parts are out of order");
    for (size_t i = 0; i + 1 < count; ++i) {
        const std::string n = std::to_string(i + 1);
        if (file.parts[i]->hasEnd)
            return Judge(file, TUUStatus::Failed, "part " + n + " ends the file but more parts follow: the parts are out of order");
        if (file.parts[i]->endsShort)
            return Judge(file, TUUStatus::Failed,
                         "part " + n + " ends with a short data line, which only the last part has: the parts are out of order");
        if (i > 0 && !file.parts[i]->beginLine.empty())
            return Judge(file, TUUStatus::Failed, "part " + n + " starts another file: the parts are out of order");
    }
    const TUUPiece& last = *file.parts[count - 1];
    if (!last.hasEnd) {
        if (file.numbered)
            return Judge(file, TUUStatus::Failed, "part " + std::to_string(count) + ", the last, holds no end line");
        file.missing.push_back(static_cast<int>(count + 1));
        return Judge(file, TUUStatus::Incomplete, "no end line: the last part is missing");
    }
    const size_t have = file.Size();
    if (last.size >= 0 && static_cast<unsigned long long>(last.size) != have) {
        std::string bytes = std::to_string(have) + " of the " + std::to_string(last.size) + " bytes the sender announced";
        if (static_cast<unsigned long long>(last.size) < have)
            return Judge(file, TUUStatus::Failed, "the parts hold " + std::to_string(have) + " bytes, more than the " +
                                                      std::to_string(last.size) + " the sender announced");
        file.unplaced = PartsLacking(file, static_cast<size_t>(last.size) - have);
        return Judge(file, TUUStatus::Incomplete, "the parts hold " + bytes + ": " +
                                                      (file.unplaced == 1 ? "a part is" : std::to_string(file.unplaced) + " parts are") +
                                                      " missing before the last");
    }
    Judge(file, TUUStatus::Complete, {});
}

namespace {

// The begin line's name; a begin line without one gives "att." and the
// file's number, as the message reader names it.
std::string FileNameOf(const TUUFile& file, size_t index)
{
    for (const TUUPiece* p : file.parts)
        if (p && !p->beginLine.empty()) {
            std::string name = SafeFileName(UUBeginName(p->beginLine));
            return name.empty() ? "att." + std::to_string(index) : name;
        }
    for (const TUUPiece* p : file.parts)
        if (p && !p->subject.empty()) return "\"" + p->subject + "\"";
    return "a file without name";
}

// Pieces without part numbers that share a Subject: one begin piece takes
// the others, the one with the end last; several begin pieces are separate
// files, each taking what follows it.
void JoinUnnumbered(const std::vector<const TUUPiece*>& pool, std::vector<TUUFile>& files)
{
    size_t begins = std::count_if(pool.begin(), pool.end(), [](const TUUPiece* p) { return !p->beginLine.empty(); });
    if (begins <= 1) {
        TUUFile file;
        std::vector<const TUUPiece*> middle, ends;
        const TUUPiece* first = nullptr;
        for (const TUUPiece* p : pool) {
            if (!p->beginLine.empty()) first = p;
            else if (p->hasEnd) ends.push_back(p);
            else middle.push_back(p);
        }
        file.parts.push_back(first);
        file.parts.insert(file.parts.end(), middle.begin(), middle.end());
        file.parts.insert(file.parts.end(), ends.begin(), ends.end());
        files.push_back(std::move(file));
        return;
    }
    for (const TUUPiece* p : pool) {
        if (!p->beginLine.empty() || files.empty()) files.emplace_back();
        files.back().parts.push_back(p);
    }
}

} // namespace

std::vector<TUUFile> JoinPieces(const std::vector<TUUPiece>& pieces)
{
    std::vector<TUUFile> files;
    // Groups keep the order in which their first piece was found.
    std::vector<std::pair<std::string, std::vector<const TUUPiece*>>> pools;
    std::map<std::string, size_t> poolIndex;
    std::map<std::pair<std::string, int>, size_t> numberedIndex;
    std::vector<std::pair<size_t, std::vector<const TUUPiece*>>> numbered; // file index, slots
    for (const TUUPiece& piece : pieces) {
        TPartNumber pn = ParsePartNumber(piece.subject);
        if (!piece.beginLine.empty() && piece.hasEnd) {
            files.emplace_back();
            files.back().parts.push_back(&piece);
            continue;
        }
        if (pn.number > 0) {
            auto [it, added] = numberedIndex.try_emplace({pn.key, pn.total}, numbered.size());
            if (added) {
                numbered.push_back({files.size(), std::vector<const TUUPiece*>(static_cast<size_t>(pn.total))});
                files.emplace_back();
                files.back().numbered = true;
            }
            auto& slot = numbered[it->second].second[static_cast<size_t>(pn.number - 1)];
            // A part sent twice: the first copy counts.
            if (!slot) slot = &piece;
            continue;
        }
        std::string key = SubjectKey(piece.subject);
        auto [it, added] = poolIndex.try_emplace(key, pools.size());
        if (added) pools.push_back({key, {}});
        pools[it->second].second.push_back(&piece);
    }
    for (auto& [index, slots] : numbered) files[index].parts = std::move(slots);
    for (auto& [key, pool] : pools) JoinUnnumbered(pool, files);
    for (size_t i = 0; i < files.size(); ++i) {
        TUUFile& file = files[i];
        file.name = FileNameOf(file, i);
        CheckParts(file);
    }
    return files;
}
