#pragma once
// CParentBackground: how a child widget asks its parent to paint the
// parent's background behind it (the split-point bar and the menu bar
// window embed one).
//
// Who paints what:
// - A parent that implements IParentBackgroundPainter (the dialog base does,
//   for its skinned background) paints its own background into the child's
//   painter, shifted by the child's position, and answers true.
// - Any other parent, or one that answers false, gets the erase-background
//   path: the child's whole rectangle is filled with the parent's palette
//   brush for its background role, with the brush origin moved so that a
//   textured brush lines up with the parent's own painting.
// - The child then paints its own content on top.
// Used on the UI thread only; keeps no state.
class QPainter;
class QWidget;

// Implemented by a parent that can paint its background behind a child.
class IParentBackgroundPainter {
 public:
  virtual ~IParentBackgroundPainter() = default;
  // Paint the background that lies behind `child` into `painter`, whose
  // origin is the child's top-left corner. True when painted.
  virtual bool PaintChildBackground(QPainter& painter, QWidget* child) = 0;
};

class CParentBackground {
 public:
  virtual ~CParentBackground() = default;
  // Paints the background of child's parent under the child's rectangle
  // (painter in child coordinates). False only when the child has no parent
  // (nothing is painted then).
  bool PaintParentBackground(QPainter& painter, QWidget* child);
};
