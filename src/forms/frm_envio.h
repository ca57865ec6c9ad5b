// frmEnvio, the validation window: the units of the source database with their check boxes,
// "Seleccionar todo", the period boxes, and "&Validar", which checks the input and runs the
// validation. Its controls carry the names the tests and the guide use as object names
// (lstUnidades, chkTodasUnidades, mskFechaIni, ...).
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "forms/dialogs.h"
#include "forms/unit_listing.h"
#include "run/driver.h"
#include "run/session.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace kolt::forms {

class DateBox;
class PictureButton;

class FrmEnvio : public QWidget {
 public:
  // session.cnnOrigen and session.cnnCatalogo must be open for as long as the window is.
  FrmEnvio(run::Session& session, Dialogs& dialogs, QWidget* parent = nullptr);

  // The window load, once the list has been read (readUnits): lists the units and checks them
  // all; an empty list leaves "Seleccionar todo" as it was. Says under the list what it lacks, and
  // that the catalogue is the demonstration one when it is.
  void load(const UnitListing& listing);

 private:
  void chkTodasUnidades_Click(bool checked);
  void lstUnidades_ItemCheck(QListWidgetItem* item);
  void ValidaDatos();
  void ProcesaValidacion(const run::RunRequest& request);
  // The list read again from a source that changed, the user's marks kept where they still apply.
  void relist(const UnitListing& listing);
  void showNotice(const UnitListing& listing);
  // The note on the demonstration catalogue, from the catalogue the session reads now.
  void showCatalogueNote();
  // The notes under the list take the room they need from its bottom.
  void layOutNotes();
  bool allChecked() const;
  std::vector<run::Unit> checkedUnits() const;

  run::Session& session_;
  Dialogs& dialogs_;
  // The listed units; each item of lstUnidades holds the index of its unit here, since its text
  // cannot give the code back.
  std::vector<run::Unit> units_;
  // The source was read again from a changed file since the list was read: the list must be read
  // again before a run, even when what first stopped the run was something else.
  bool listMayBeStale_ = false;
  QCheckBox* chkTodasUnidades_;
  QListWidget* lstUnidades_;
  QLabel* lblSinUnidades_;
  QLabel* lblCatalogo_;
  DateBox* mskFechaIni_;
  DateBox* mskFechaFin_;
  PictureButton* cmdAceptar_;
  PictureButton* cmdSalir_;
};

}  // namespace kolt::forms
