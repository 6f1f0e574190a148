#include "platform/qt/parent_background.h"

#include <QPainter>
#include <QWidget>

bool CParentBackground::PaintParentBackground(QPainter& painter, QWidget* child) {
  if (!child) return false;
  QWidget* parent = child->parentWidget();
  if (!parent) return false;

  // First ask the parent to paint for us; it knows its skin.
  if (auto* painterParent = dynamic_cast<IParentBackgroundPainter*>(parent)) {
    if (painterParent->PaintChildBackground(painter, child)) return true;
  }

  // Otherwise erase with what the parent would erase itself with. The brush
  // origin goes to the parent's origin so a pattern or image brush continues
  // seamlessly from the parent into the child.
  painter.save();
  painter.setBrushOrigin(-child->pos());
  painter.fillRect(child->rect(), parent->palette().brush(parent->backgroundRole()));
  painter.restore();
  return true;
}
