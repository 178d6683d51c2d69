#include "app/segment_join.h"

#include <algorithm>
#include <map>
#include <vector>

#include "app/printed_message.h"

namespace {

using pdf417read::MacroInfo;

bool sameSegment(const pdf417read::Symbol& a, const pdf417read::Symbol& b) {
  const MacroInfo& x = *a.macro;
  const MacroInfo& y = *b.macro;
  return a.bytes == b.bytes && a.eci == b.eci && x.lastSegment == y.lastSegment &&
         x.segmentCount == y.segmentCount && x.fileName == y.fileName && x.timestamp == y.timestamp &&
         x.sender == y.sender && x.addressee == y.addressee && x.fileSize == y.fileSize &&
         x.checksum == y.checksum;
}

std::string fileIdName(const std::string& fileId) { return fileId.empty() ? "(none)" : fileId; }

// Segments are numbered from 1 in messages, as encoders number them; the
// symbols hold indexes from 0.
std::string segmentNumber(long long index) { return std::to_string(index + 1); }

// The segments of one file id, by index.
struct Group {
  std::string fileId;
  std::map<int, const FoundSegment*> byIndex;
  std::vector<std::string> conflicts;
};

void addSegment(Group* group, const FoundSegment& segment) {
  int index = segment.symbol.macro->segmentIndex;
  auto found = group->byIndex.find(index);
  if (found == group->byIndex.end()) {
    group->byIndex[index] = &segment;
  } else if (!sameSegment(found->second->symbol, segment.symbol)) {
    group->conflicts.push_back("segment " + segmentNumber(index) + " differs between " +
                               found->second->file + " and " + segment.file);
  }
}

// The number of segments the group's fields agree on; -1 when none says,
// -2 after a conflict (recorded in the group). 64 bits: a last segment's
// index can be the largest int.
long long segmentCount(Group* group) {
  const FoundSegment* countSource = nullptr;
  const FoundSegment* lastSource = nullptr;
  for (const auto& entry : group->byIndex) {
    const FoundSegment* segment = entry.second;
    const MacroInfo& macro = *segment->symbol.macro;
    if (macro.segmentCount) {
      if (countSource && *countSource->symbol.macro->segmentCount != *macro.segmentCount) {
        group->conflicts.push_back("segment counts disagree: " + countSource->file + " says " +
                                   std::to_string(*countSource->symbol.macro->segmentCount) + ", " +
                                   segment->file + " says " + std::to_string(*macro.segmentCount));
        return -2;
      }
      countSource = segment;
    }
    if (macro.lastSegment) {
      if (lastSource) {
        group->conflicts.push_back("two last segments: " + lastSource->file + " and " + segment->file);
        return -2;
      }
      lastSource = segment;
    }
  }
  long long count = countSource ? *countSource->symbol.macro->segmentCount : -1;
  if (lastSource) {
    long long lastIndex = lastSource->symbol.macro->segmentIndex;
    if (count >= 0 && lastIndex != count - 1) {
      group->conflicts.push_back(lastSource->file + " is the last segment, segment " + segmentNumber(lastIndex) +
                                 ", but " + countSource->file + " says there are " + std::to_string(count));
      return -2;
    }
    count = lastIndex + 1;
  }
  return count;
}

bool indexesWithinCount(Group* group, long long count) {
  for (const auto& entry : group->byIndex)
    if (entry.first < 0 || entry.first >= count) {
      group->conflicts.push_back(entry.second->file + " is segment " + segmentNumber(entry.first) + " of " +
                                 std::to_string(count) + ", beyond the segment count");
      return false;
    }
  return true;
}

// The indexes below upTo that no segment of the group has, as runs from
// first to last: no more runs than segments, however many indexes a count
// leaves out.
struct Run {
  long long first, last;
};

std::vector<Run> missingRuns(const Group& group, long long upTo) {
  std::vector<Run> runs;
  long long next = 0;
  for (const auto& entry : group.byIndex) {
    if (entry.first >= upTo) break;
    if (entry.first > next) runs.push_back({next, entry.first - 1LL});
    next = std::max(next, entry.first + 1LL);
  }
  if (next < upTo) runs.push_back({next, upTo - 1});
  return runs;
}

bool inRuns(const std::vector<Run>& runs, long long index) {
  for (const Run& run : runs)
    if (index >= run.first && index <= run.last) return true;
  return false;
}

// A segment of another file id at an index this group misses: one of the
// two ids was likely misread.
void findClaimsElsewhere(Group* group, const std::vector<Group>& groups, const std::vector<Run>& missing) {
  for (const Group& other : groups) {
    if (other.fileId == group->fileId) continue;
    for (const auto& entry : other.byIndex) {
      if (!inRuns(missing, entry.first)) continue;
      group->conflicts.push_back("segment " + segmentNumber(entry.first) + " has file id " +
                                 fileIdName(other.fileId) + " in " + entry.second->file +
                                 ", the other segments have " + fileIdName(group->fileId));
    }
  }
}

std::string missingText(const std::vector<Run>& missing, bool countKnown) {
  std::string text = "missing segment";
  if (missing.size() > 1 || (!missing.empty() && missing[0].last > missing[0].first)) text += "s";
  const char* separator = " ";
  for (const Run& run : missing) {
    text += separator + segmentNumber(run.first);
    if (run.last > run.first) text += "-" + segmentNumber(run.last);
    separator = ", ";
  }
  if (!countKnown) text += std::string(missing.empty() ? " " : ", ") + "and the last one";
  return text;
}

void joinGroup(Group* group, const std::vector<Group>& groups, JoinResult* result) {
  std::string prefix = "file id " + fileIdName(group->fileId) + ": ";
  long long count = group->conflicts.empty() ? segmentCount(group) : -2;
  if (count >= 0) indexesWithinCount(group, count);
  long long upTo = count >= 0 ? count : (group->byIndex.empty() ? 0 : group->byIndex.rbegin()->first + 1LL);
  std::vector<Run> missing;
  if (count != -2) missing = missingRuns(*group, upTo);
  if (group->conflicts.empty() && (!missing.empty() || count < 0))
    findClaimsElsewhere(group, groups, missing);
  for (const std::string& conflict : group->conflicts) result->errors.push_back(prefix + conflict);
  if (!group->conflicts.empty()) return;
  if (!missing.empty() || count < 0) {
    result->errors.push_back(prefix + missingText(missing, count >= 0));
    return;
  }
  JoinedMessage joined = {group->fileId, ""};
  for (const auto& entry : group->byIndex) joined.message += printedMessage(entry.second->symbol);
  result->messages.push_back(joined);
}

}  // namespace

JoinResult joinSegments(const std::vector<FoundSegment>& segments) {
  std::vector<Group> groups;
  for (const FoundSegment& segment : segments) {
    if (!segment.symbol.macro) continue;
    const std::string& fileId = segment.symbol.macro->fileId;
    size_t g = 0;
    while (g < groups.size() && groups[g].fileId != fileId) g++;
    if (g == groups.size()) groups.push_back(Group{fileId, {}, {}});
    addSegment(&groups[g], segment);
  }
  JoinResult result;
  for (Group& group : groups) joinGroup(&group, groups, &result);
  return result;
}
