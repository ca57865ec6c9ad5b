// frmRevision, the start window: "Seleccionar Base de Datos" chooses the source database, opens it
// and the catalogue, and hands over to the validation window; "Cerrar" ends the program.
//
// A file that cannot be opened, a missing catalogue, or a source without EGRESO or CATCLUES is
// reported ("{number} - {description}") and the user stays here to choose again: nothing of a
// failed choice ends the program.
#pragma once

#include <QWidget>
#include <memory>

#include "forms/dialogs.h"
#include "forms/frm_envio.h"
#include "run/session.h"

namespace kolt::app {

inline constexpr const char* kTituloDialogo = "Seleccionar Base de Datos ...";
inline constexpr const char* kFiltroDialogo = "Archivos de Base de Datos (*.mdb *.accdb)";

class FrmRevision : public QWidget {
 public:
  FrmRevision(run::Session& session, forms::Dialogs& dialogs);
  ~FrmRevision() override;

  // Opens `file` as if chosen in the dialog: on success the validation window takes over, on
  // failure the error is shown and this window stays.
  void openSource(const QString& file);

  // The validation window once a choice succeeded; null before.
  forms::FrmEnvio* frmEnvio() const { return frmEnvio_.get(); }

 private:
  void cmdAceptar_Click();

  run::Session& session_;
  forms::Dialogs& dialogs_;
  std::unique_ptr<forms::FrmEnvio> frmEnvio_;
};

}  // namespace kolt::app
