#pragma once
// The dialog base (CDialog's counterpart): a QDialog built from a dialog
// template, with the template's controls as children in template order,
// window timers by ID, command routing by control ID, and the parent
// background request that child windows use.
//
// Life: construct, then Create() (controls, OnCreate, OnInitDialog) or
// DoModal() (which creates if needed, then runs the modal loop). Escape and
// the close box call OnCancel, which ends the dialog. UI thread only.
#include <QDialog>
#include <map>

#include "platform/qt/dialog_template.h"
#include "platform/qt/owner_draw.h"
#include "platform/qt/parent_background.h"

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

class CDialogBase : public QDialog, public IParentBackgroundPainter {
  Q_OBJECT
 public:
  CDialogBase(const dlg::DialogTemplate& t, QWidget* parent);
  ~CDialogBase() override;

  // Creates the controls and initialises the dialog, once. False when
  // OnCreate refused.
  bool Create();
  // Runs the dialog modally; IDOK or IDCANCEL.
  int DoModal();
  bool IsCreated() const { return m_bCreated; }

  QWidget* GetDlgItem(int id) { return win_GetDlgItem(id); }
  int TemplateId() const { return m_template.id; }

  // SetTimer on an ID that runs restarts its period.
  void SetTimer(int id, int ms);
  void KillTimer(int id);
  bool IsTimerRunning(int id) const { return m_timers.count(id) != 0; }

  // Routes a command (a button click or a menu choice) through the class's
  // command table.
  virtual void OnCommand(int id);
  // WM_MEASUREITEM / WM_DRAWITEM: a popup owned by this dialog asks how big
  // an owner-drawn item is and has it drawn; `ctlId` is 0 for menu items.
  // The defaults leave the request as it came.
  virtual void OnMeasureItem(int /*ctlId*/, MEASUREITEMSTRUCT& /*m*/) {}
  virtual void OnDrawItem(int /*ctlId*/, DRAWITEMSTRUCT& /*d*/) {}

  // Paints the dialog's own background behind a child.
  bool PaintChildBackground(QPainter& painter, QWidget* child) override;

 protected:
  // The widget for a template control in place of the standard one (the
  // dialog's own control class); nullptr keeps the standard widget. Called
  // by Create for each control, in template order; the dialog owns it.
  virtual QWidget* CreateControl(const dlg::ControlTemplate&) { return nullptr; }
  virtual int OnCreate() { return 0; }
  virtual bool OnInitDialog() { return true; }
  virtual void OnTimer(int /*id*/) {}
  virtual void OnOK() { done(IDOK); }
  virtual void OnCancel() { done(IDCANCEL); }
  // Connects the template's buttons to OnCommand.
  void RouteButtons();

  void timerEvent(QTimerEvent* e) override;
  void reject() override { OnCancel(); }
  void accept() override { OnOK(); }

 private:
  QWidget* win_GetDlgItem(int id);
  const dlg::DialogTemplate& m_template;
  bool m_bCreated = false;
  std::map<int, int> m_timers;  // our ID -> Qt timer id
};
