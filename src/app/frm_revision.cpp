#include "app/frm_revision.h"

#include <QFileInfo>
#include <QPushButton>

#include "app/import_progress.h"
#include "forms/busy_pointer.h"
#include "forms/error_text.h"
#include "forms/qt_text.h"
#include "forms/twips.h"
#include "forms/unit_listing.h"
#include "forms/work_dialog.h"
#include "run/session.h"

namespace kolt::app {

FrmRevision::FrmRevision(run::Session& session, forms::Dialogs& dialogs)
    : session_(session), dialogs_(dialogs) {
  setObjectName("frmRevision");
  setWindowTitle(forms::kTituloAplicacion);
  const forms::Twips t = forms::Twips::forWidget(*this);

  auto* cmdAceptar = new QPushButton("Seleccionar Base de Datos", this);
  cmdAceptar->setObjectName("cmdAceptar");
  cmdAceptar->setGeometry(t.rect(120, 120, 2895, 405));
  auto* cmdCancelar = new QPushButton("Cerrar", this);
  cmdCancelar->setObjectName("cmdCancelar");
  cmdCancelar->setGeometry(t.rect(3165, 75, 900, 480));
  for (QPushButton* button : {cmdAceptar, cmdCancelar}) button->setAutoDefault(true);

  setFixedSize(t(4185), t(615));
  QWidget::setTabOrder(cmdCancelar, cmdAceptar);
  cmdCancelar->setFocus();

  connect(cmdAceptar, &QPushButton::clicked, this, [this] { cmdAceptar_Click(); });
  connect(cmdCancelar, &QPushButton::clicked, this, [this] { close(); });
}

FrmRevision::~FrmRevision() = default;

void FrmRevision::cmdAceptar_Click() {
  const QString file = dialogs_.openFile(
      this, kTituloDialogo, forms::q(run::sourceDialogFolder(session_.app)), kFiltroDialogo);
  if (!file.isEmpty()) openSource(file);
}

void FrmRevision::openSource(const QString& file) {
  // The open, the import of an Access file and the reading of the unit list all happen here, so a
  // source that fails any of them is reported while the user can still choose another.
  forms::UnitListing listing;
  {
    forms::BusyPointer busy;
    try {
      const QString name = QFileInfo(file).fileName();
      forms::WorkDialog dialog(this, "Abriendo " + name);
      dialog.run([&] {
        run::openDatabases(session_, forms::pathOf(file),
                           [&](const access::ImportProgress& progress) {
                             showImportProgress(dialog, name, progress);
                           });
        listing = forms::readUnits(session_.cnnOrigen);
      });
    } catch (const std::exception& e) {
      session_.cnnOrigen.close();
      session_.cnnCatalogo.close();
      busy.release();
      dialogs_.failure(this, forms::errorText(e));
      return;
    }
  }

  frmEnvio_ = std::make_unique<forms::FrmEnvio>(session_, dialogs_);
  frmEnvio_->load(listing);
  frmEnvio_->show();
  close();
}

}  // namespace kolt::app
