#include "app/segment_join.h"

#include <map>
#include <set>

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
    group->conflicts.push_back("segment " + std::to_string(index) + " differs between " +
                               found->second->file + " and " + segment.file);
  }
}

// The number of segments the group's fields agree on; -1 when none says,
// -2 after a conflict (recorded in the group).
int segmentCount(Group* group) {
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
  int count = countSource ? *countSource->symbol.macro->segmentCount : -1;
  if (lastSource) {
    int lastIndex = lastSource->symbol.macro->segmentIndex;
    if (count >= 0 && lastIndex != count - 1) {
      group->conflicts.push_back(lastSource->file + " is the last segment with index " +
                                 std::to_string(lastIndex) + ", but " + countSource->file +
                                 " says there are " + std::to_string(count));
      return -2;
    }
    count = lastIndex + 1;
  }
  return count;
}

bool indexesWithinCount(Group* group, int count) {
  for (const auto& entry : group->byIndex)
    if (entry.first < 0 || entry.first >= count) {
      group->conflicts.push_back(entry.second->file + " has segment index " + std::to_string(entry.first) +
                                 ", beyond the segment count " + std::to_string(count));
      return false;
    }
  return true;
}

// A segment of another file id at an index this group misses: one of the
// two ids was likely misread.
void findClaimsElsewhere(Group* group, const std::vector<Group>& groups, const std::set<int>& missing) {
  for (const Group& other : groups) {
    if (other.fileId == group->fileId) continue;
    for (int index : missing) {
      auto found = other.byIndex.find(index);
      if (found == other.byIndex.end()) continue;
      group->conflicts.push_back("segment " + std::to_string(index) + " has file id " +
                                 fileIdName(other.fileId) + " in " + found->second->file +
                                 ", the other segments have " + fileIdName(group->fileId));
    }
  }
}

std::string missingText(const std::set<int>& missing, bool countKnown) {
  std::string text = "missing segment";
  if (missing.size() > 1) text += "s";
  const char* separator = " ";
  for (int index : missing) {
    text += separator + std::to_string(index);
    separator = ", ";
  }
  if (!countKnown) text += std::string(missing.empty() ? " " : ", ") + "and the last one";
  return text;
}

void joinGroup(Group* group, const std::vector<Group>& groups, JoinResult* result) {
  std::string prefix = "file id " + fileIdName(group->fileId) + ": ";
  int count = group->conflicts.empty() ? segmentCount(group) : -2;
  if (count >= 0) indexesWithinCount(group, count);
  std::set<int> missing;
  int upTo = count >= 0 ? count : (group->byIndex.empty() ? 0 : group->byIndex.rbegin()->first + 1);
  for (int index = 0; index < upTo && count != -2; index++)
    if (!group->byIndex.count(index)) missing.insert(index);
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
