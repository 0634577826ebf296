#pragma once
// CConfigurationPoolProperties: creates a pool or edits one (name, protocol and its settings,
// networks and devices, queries) on a private image; only OK stores the image in the settings,
// commits them on top of the current settings, and removes from the device database what the
// pool as committed no longer covers (then the service is told to prune, control code 133). The small dialogs and imports work on its lists.
#include <QDialog>

#include "desktop/pools/pool_image.h"
#include "desktop/shell/mirvale_app.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace mirvale {

class CConfigurationPoolProperties : public QDialog {
  Q_OBJECT
 public:
  // presetName: empty for a new pool.
  CConfigurationPoolProperties(CMirvaleApp& app, const QString& presetName, QWidget* parent = nullptr);

  CMirvaleApp& App() const { return app_; }
  QString PoolName() const;
  PoolImage& Image() { return image_; }
  ProtocolChoice Choice() const;

  QLineEdit& NameEdit() const { return *nameEdit_; }
  QPushButton& CopyButton() const { return *copyButton_; }
  QRadioButton& ProtocolRadio(ProtocolChoice choice) const;
  QTreeWidget& DeviceList() const { return *deviceList_; }
  QTreeWidget& QueryList() const { return *queryList_; }
  QRadioButton& AllQueriesRadio() const { return *allQueries_; }
  QRadioButton& SpecificQueriesRadio() const { return *specificQueries_; }
  QPushButton& AddMibsButton() const { return *addMibs_; }

  // The buttons' actions; the file imports take the chosen path.
  void ChooseProtocol(ProtocolChoice choice);  // a protocol radio
  void CollectAllQueries();
  void CollectSpecificQueries();
  void ImportDeviceList(const QString& path);
  void ImportMibs(const QString& path, bool writableOnly);
  void RemoveSelectedDevices();
  void RemoveSelectedQueries();

  // For the small dialogs: a row and its record, then the list re-sorted by column 0.
  void AddDevice(const CDeviceItem& device);
  void AddQuery(const CQueryItem& query);
  void SortDevices();
  void SortQueries();
  void EmptyQueries();
  void EmptyDevices();

  void accept() override;  // OK: checks, stores, commits, prunes

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void LoadPool();
  void ApplyLayout(ProtocolChoice choice);
  void SetQueryButtons(bool enabled);
  void OpenProtocolDetails();
  void OpenAddDevices();
  void OpenAddList();
  void OpenAddQuery(int row);
  void OpenAddMibs();
  void OpenCopyPool();
  void SortList(QTreeWidget& list, int column);

  CMirvaleApp& app_;
  // The image is an edit of the settings as the dialog opened: OK merges it with the current.
  CMirvaleApp::EditHold editing_{app_};
  QString presetName_;
  PoolImage image_;
  bool ascending_ = true;
  QLineEdit* nameEdit_;
  QPushButton* copyButton_;
  QRadioButton* shellRadio_;
  QRadioButton* snmpV1Radio_;
  QRadioButton* snmpV3Radio_;
  QGroupBox* devicesGroup_;
  QTreeWidget* deviceList_;
  QGroupBox* queriesGroup_;
  QRadioButton* allQueries_;
  QRadioButton* specificQueries_;
  QTreeWidget* queryList_;
  QPushButton* addQuery_;
  QPushButton* addMibs_;
  QPushButton* removeQueries_;
};

}  // namespace mirvale
