#pragma once
// One page of a list of entries, each added from an input and removed by a link: the e-mail
// recipients and the trap managers of an action, and the recipients of the test e-mail. Adding
// an entry already listed is refused; confirming an empty list is refused and keeps it open.
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace mirvale {

class EntryListPage : public QDialog {
  Q_OBJECT
 public:
  enum class Kind { MailRecipients, TrapManagers, TestRecipients };
  EntryListPage(Kind kind, const QString& title, const QString& text, QWidget* parent);

  // The entries in list order, each followed by ";".
  QString Text() const;
  QStringList Entries() const;
  void AddEntry();
  void RemoveSelected();
  void accept() override;

  QLineEdit* input;
  QPushButton* addButton;
  QListWidget* list;
  QPushButton* applyButton = nullptr;  // the test sheet's only

 protected:
  // Work of a confirmed page before it closes (the test page commits and sends).
  virtual void Confirmed() {}

 private:
  bool InputComplete() const;  // what Add takes: a complete address for a manager
  bool Refused();              // an empty list, refused with the kind's message

  Kind kind_;
};

}  // namespace mirvale
