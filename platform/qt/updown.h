#pragma once
// An up-down control (msctls_updown32) with a buddy edit: its arrows and the
// buddy's Up/Down keys step the value by one, clamped to the range, and write
// it into the buddy as an integer. The value is read back from the buddy's
// text each time, as typing in the buddy is not limited to the range.
// Owned by its Qt parent; UI thread only.
#include <QPointer>
#include <QWidget>

#include <QLineEdit>

class CUpDownCtrl : public QWidget {
  Q_OBJECT
 public:
  explicit CUpDownCtrl(QWidget* parent = nullptr);

  void SetBuddy(QLineEdit* buddy);  // arrow keys on it step too
  QLineEdit* GetBuddy() const { return m_buddy; }
  void SetRange(int lower, int upper);  // UDM_SETRANGE
  int Lower() const { return m_lower; }
  int Upper() const { return m_upper; }
  void SetPos(int pos);  // UDM_SETPOS: clamped, written to the buddy
  int GetPos() const;    // the buddy's number, clamped to the range
  void Step(int delta);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QLineEdit> m_buddy;
  int m_lower = 0;
  int m_upper = 100;
};
