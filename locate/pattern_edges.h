// The inner edges of the start and stop patterns, fitted over every row that
// shows them: a slower and more tolerant search than the corner search, for
// symbols that are tilted, damaged, or cut off on one side.
#ifndef PDF417_LOCATE_PATTERN_EDGES_H
#define PDF417_LOCATE_PATTERN_EDGES_H

// An inner edge as the line x = slope * y + offset over rows top..bottom.
struct PatternEdge {
  int rows;            // rows in which the pattern was seen on this line (0: none)
  double slope;
  double offset;
  int top;
  int bottom;
  double moduleWidth;  // pixels per module along a picture row
};

struct SymbolEdges {
  PatternEdge start;   // inner edge: the first pixel after the start pattern
  PatternEdge stop;    // inner edge: the first pixel of the stop pattern
};

// Looks for an upright symbol (start pattern left of the stop pattern) in a
// 0/1 picture. Returns the number of edges found (0, 1 or 2).
int findSymbolEdges(const unsigned char* binary, int width, int height, SymbolEdges* edges);

inline double edgeColumn(const PatternEdge& edge, double y) { return edge.slope * y + edge.offset; }

#endif
