#include "forms/frm_envio.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <atomic>
#include <initializer_list>
#include <optional>
#include <set>
#include <utility>
#include <variant>

#include "base/error.h"
#include "base/platform/paths.h"
#include "forms/busy_pointer.h"
#include "forms/date_box.h"
#include "forms/error_text.h"
#include "forms/picture_button.h"
#include "forms/qt_text.h"
#include "forms/run_progress.h"
#include "forms/twips.h"
#include "forms/work_dialog.h"
#include "results/results_folder.h"
#include "run/input_check.h"
#include "run/office_rules_check.h"
#include "run/program_folders.h"
#include "run/table_check.h"

namespace kolt::forms {
namespace {

// The client area and the unit list, in twips.
constexpr int kWidth = 7965, kHeight = 5280;
constexpr int kListLeft = 60, kListTop = 450, kListWidth = 4680, kListHeight = 4560;
// The space between the notes under the list, and between them and the list.
constexpr int kNoteGap = 60;

// The frames' captions sit in their top border, as on the screens the window was designed for, so
// the controls placed just below the caption stay clear of the border.
constexpr const char* kFrameStyle =
    "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
    " padding: 0 2px; }";

// Captions keep their designed width unless this screen's font needs more: a clipped "Del" says
// nothing.
void fitCaption(QWidget* control) {
  const int needed = control->sizeHint().width();
  if (needed > control->width()) control->resize(needed, control->height());
}

// The note under the list while the session reads the demonstration catalogue: its few
// certificate numbers make false findings on real data, and a run's results say so only once it
// has ended. It says where the official file is taken before it (program_folders.h); the folder's
// full path, which may be long, is in its tip.
std::string demonstrationNote(const run::Session& session) {
  if (!run::isDemonstrationCatalogue(session.catalogue)) return "";
  return std::string(
             "Se usa el CATÁLOGO DE DEMOSTRACIÓN, no el oficial: los hallazgos que "
             "dependen de él no son válidos; ponga ") +
         run::kCatalogoOficial +
         (run::installedProgram(session.app) ? " en su carpeta de datos."
                                             : " en la carpeta del programa.");
}

std::filesystem::path officialCatalogueFolder(const run::Session& session) {
  return run::installedProgram(session.app) ? run::userDataFolder() : session.app;
}

// ValidaFecha speaks through the window's message boxes.
class WindowDateMessages : public run::DateMessages {
 public:
  WindowDateMessages(Dialogs& dialogs, QWidget* window) : dialogs_(dialogs), window_(window) {}
  void beep() override { dialogs_.beep(); }
  void message(const std::string& text, const std::string& title) override {
    dialogs_.information(window_, q(text), q(title));
  }

 private:
  Dialogs& dialogs_;
  QWidget* window_;
};

}  // namespace

FrmEnvio::FrmEnvio(run::Session& session, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), session_(session), dialogs_(dialogs) {
  setObjectName("frmEnvio");
  setWindowTitle(kTituloAplicacion);
  const Twips t = Twips::forWidget(*this);

  auto* fraDatos = new QGroupBox(QString::fromUtf8("Unidad Médica"), this);
  fraDatos->setObjectName("fraDatos");
  fraDatos->setGeometry(t.rect(30, 75, 4815, 5070));
  fraDatos->setStyleSheet(kFrameStyle);
  chkTodasUnidades_ = new QCheckBox("Seleccionar todo", fraDatos);
  chkTodasUnidades_->setObjectName("chkTodasUnidades");
  chkTodasUnidades_->setGeometry(t.rect(60, 195, 2055, 255));
  lstUnidades_ = new QListWidget(fraDatos);
  lstUnidades_->setObjectName("lstUnidades");
  lstUnidades_->setGeometry(t.rect(kListLeft, kListTop, kListWidth, kListHeight));
  lblSinUnidades_ = new QLabel(fraDatos);
  lblSinUnidades_->setObjectName("lblSinUnidades");
  lblSinUnidades_->setWordWrap(true);
  lblSinUnidades_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblSinUnidades_->hide();
  lblCatalogo_ = new QLabel(fraDatos);
  lblCatalogo_->setObjectName("lblCatalogo");
  lblCatalogo_->setWordWrap(true);
  lblCatalogo_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblCatalogo_->setStyleSheet("QLabel { color: #9c0006; font-weight: bold; }");
  lblCatalogo_->hide();

  auto* fraReportes = new QGroupBox("Periodo ", this);
  fraReportes->setObjectName("fraReportes");
  fraReportes->setGeometry(t.rect(5040, 240, 2025, 1185));
  fraReportes->setStyleSheet(kFrameStyle);
  auto* lblDel = new QLabel("Del", fraReportes);
  lblDel->setObjectName("lblDatos");
  lblDel->setGeometry(t.rect(150, 315, 255, 240));
  mskFechaIni_ = new DateBox(fraReportes);
  mskFechaIni_->setObjectName("mskFechaIni");
  mskFechaIni_->setGeometry(t.rect(540, 330, 1185, 240));
  auto* lblAl = new QLabel("Al", fraReportes);
  lblAl->setObjectName("lblDatos");
  lblAl->setGeometry(t.rect(150, 735, 255, 240));
  mskFechaFin_ = new DateBox(fraReportes);
  mskFechaFin_->setObjectName("mskFechaFin");
  mskFechaFin_->setGeometry(t.rect(540, 735, 1185, 240));

  cmdAceptar_ =
      new PictureButton("&Validar", style()->standardIcon(QStyle::SP_DialogApplyButton), this);
  cmdAceptar_->setObjectName("cmdAceptar");
  cmdAceptar_->setGeometry(t.rect(5040, 4320, 975, 765));
  cmdSalir_ =
      new PictureButton("&Salir", style()->standardIcon(QStyle::SP_DialogCloseButton), this);
  cmdSalir_->setObjectName("cmdSalir");
  cmdSalir_->setGeometry(t.rect(6240, 4320, 972, 765));

  for (QWidget* caption : std::initializer_list<QWidget*>{chkTodasUnidades_, lblDel, lblAl})
    fitCaption(caption);
  setFixedSize(t(kWidth), t(kHeight));
  QWidget::setTabOrder(cmdAceptar_, cmdSalir_);
  QWidget::setTabOrder(cmdSalir_, lstUnidades_);
  QWidget::setTabOrder(lstUnidades_, chkTodasUnidades_);
  QWidget::setTabOrder(chkTodasUnidades_, mskFechaIni_);
  QWidget::setTabOrder(mskFechaIni_, mskFechaFin_);
  cmdAceptar_->setFocus();

  // toggled, not clicked: setting the box from code must run the same handling as a click.
  connect(chkTodasUnidades_, &QCheckBox::toggled, this,
          [this](bool checked) { chkTodasUnidades_Click(checked); });
  connect(lstUnidades_, &QListWidget::itemChanged, this,
          [this](QListWidgetItem* item) { lstUnidades_ItemCheck(item); });
  connect(cmdAceptar_, &QToolButton::clicked, this, [this] { ValidaDatos(); });
  connect(cmdSalir_, &QToolButton::clicked, this, [this] { close(); });
}

void FrmEnvio::load(const UnitListing& listing) {
  lstUnidades_->clear();
  units_ = listing.units;
  for (std::size_t i = 0; i < units_.size(); ++i) {
    auto* item = new QListWidgetItem(q(units_[i].text()));
    item->setData(Qt::UserRole, static_cast<qulonglong>(i));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    lstUnidades_->addItem(item);
  }
  showNotice(listing);
  if (listing.units.empty()) return;
  if (chkTodasUnidades_->isChecked())
    chkTodasUnidades_Click(true);
  else
    chkTodasUnidades_->setChecked(true);
}

void FrmEnvio::showNotice(const UnitListing& listing) {
  lblSinUnidades_->setText(q(listing.notice()));
  showCatalogueNote();
}

void FrmEnvio::showCatalogueNote() {
  lblCatalogo_->setText(q(demonstrationNote(session_)));
  lblCatalogo_->setToolTip(q(officialCatalogueFolder(session_) / run::kCatalogoOficial));
  layOutNotes();
}

void FrmEnvio::layOutNotes() {
  const Twips t = Twips::forWidget(*this);
  // From the bottom of the list's room up: the catalogue's note last, where the eye ends.
  int bottom = t(kListTop + kListHeight);
  for (QLabel* note : {lblCatalogo_, lblSinUnidades_}) {
    if (note->text().isEmpty()) {
      note->hide();
      continue;
    }
    note->ensurePolished();  // its style's font decides its height
    const int height = note->heightForWidth(t(kListWidth));
    bottom -= height;
    note->setGeometry(t(kListLeft), bottom, t(kListWidth), height);
    note->show();
    bottom -= t(kNoteGap);
  }
  lstUnidades_->setGeometry(t(kListLeft), t(kListTop), t(kListWidth), bottom - t(kListTop));
}

void FrmEnvio::relist(const UnitListing& listing) {
  // A list fully checked stays so, new units included, as a list is loaded; otherwise a unit the
  // user checked stays checked, and a new one waits for the user to check it.
  const bool all = allChecked();
  std::set<std::string> checked;
  for (const run::Unit& unit : checkedUnits()) checked.insert(unit.code);
  load(listing);
  if (all) return;
  for (int i = 0; i < lstUnidades_->count(); ++i) {
    QListWidgetItem* item = lstUnidades_->item(i);
    const run::Unit& unit = units_.at(item->data(Qt::UserRole).toULongLong());
    item->setCheckState(checked.contains(unit.code) ? Qt::Checked : Qt::Unchecked);
  }
}

void FrmEnvio::chkTodasUnidades_Click(bool checked) {
  // Unchecking the box by hand clears the list only when it was fully checked: the item handler
  // unchecks the box when one entry is unchecked, and the others must keep their marks.
  if (!checked && !allChecked()) return;
  const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
  for (int i = 0; i < lstUnidades_->count(); ++i) {
    QListWidgetItem* item = lstUnidades_->item(i);
    if (item->text().isEmpty()) break;
    item->setCheckState(state);
  }
}

void FrmEnvio::lstUnidades_ItemCheck(QListWidgetItem* item) {
  if (item->checkState() != Qt::Checked) chkTodasUnidades_->setChecked(false);
  if (allChecked()) chkTodasUnidades_->setChecked(true);
}

bool FrmEnvio::allChecked() const {
  for (int i = 0; i < lstUnidades_->count(); ++i)
    if (lstUnidades_->item(i)->checkState() != Qt::Checked) return false;
  return true;
}

std::vector<run::Unit> FrmEnvio::checkedUnits() const {
  std::vector<run::Unit> checked;
  for (int i = 0; i < lstUnidades_->count(); ++i) {
    const QListWidgetItem* item = lstUnidades_->item(i);
    if (item->checkState() == Qt::Checked)
      checked.push_back(units_.at(item->data(Qt::UserRole).toULongLong()));
  }
  return checked;
}

void FrmEnvio::ValidaDatos() {
  const run::WindowInput input{mskFechaIni_->boxText(), mskFechaFin_->boxText(), checkedUnits()};
  WindowDateMessages messages(dialogs_, this);
  const auto checked = run::checkInput(input, messages);
  if (const auto* accepted = std::get_if<run::AcceptedInput>(&checked)) {
    ProcesaValidacion(run::runRequest(*accepted, session_));
    return;
  }
  const run::Refusal& refusal = std::get<run::Refusal>(checked);
  dialogs_.information(this, q(refusal.message), q(refusal.title));
  switch (refusal.focus) {
    case run::Control::mskFechaIni:
      mskFechaIni_->setFocus();
      break;
    case run::Control::mskFechaFin:
      mskFechaFin_->setFocus();
      break;
    case run::Control::lstUnidades:
      lstUnidades_->setFocus();
      break;
  }
}

void FrmEnvio::ProcesaValidacion(const run::RunRequest& asked) {
  BusyPointer busy;
  run::RunOutcome outcome;
  // The unit list read again, when the source changed since it was listed.
  std::optional<UnitListing> listing;
  // "Cancelar" stops the run as Ctrl-C stops kolt-validar: the units finished keep their results.
  std::atomic<bool> cancelled{false};
  try {
    WorkDialog dialog(this, "Preparando la validación");
    dialog.offerCancel([&cancelled] { cancelled = true; });
    RunProgress progress(dialog, static_cast<int>(asked.units.size()));
    dialog.run([&] {
      // The results folder first, so that a run refused on a folder in use touches nothing; then
      // the source as it is now: a file corrected or replaced since the window opened is imported
      // again, and the run reads what it holds now.
      results::ResultsFolder folder(asked.resultsFolder);
      listMayBeStale_ |= run::checkDatabases(session_, [&](const access::ImportProgress& p) {
        if (!p.waiting.empty())
          dialog.report(q(p.waiting), QString(), 0, 0);
        else if (p.tableIndex > 0)
          dialog.report(q("Importando de nuevo " + session_.sourceFile.filename().string()),
                        q(p.table), p.tableIndex, p.tableCount);
      });
      // Every table and column the run reads, before any unit: what is missing is told in one
      // message, and nothing is validated.
      run::checkRunTables(session_);
      // The user chose among the units the file held when it was listed: when it offers others
      // now, the choice is the user's to make again, never guessed.
      if (listMayBeStale_) {
        listing = readUnits(session_.cnnOrigen);
        listMayBeStale_ = false;
        if (listing->units != units_) return;
      }
      if (cancelled) return;
      run::RunRequest request = asked;
      request.source = session_.cnnOrigen.file();
      request.catalogue = session_.catalogue;
      request.notes = std::exchange(session_.notes, {});
      request.cancel = &cancelled;
      // A rules file with a fault is reported like the folder in use: the run does not start.
      request.officeRules = run::sessionOfficeRules(session_);
      outcome = run::runValidation(folder, request, &progress);
    });
  } catch (const base::Error& e) {
    // Before the run began (the folder in use, a source that cannot be read again): the run's
    // error report, as when the run itself is abandoned.
    busy.release();
    dialogs_.information(this, errorText(e));
    return;
  } catch (const std::exception& e) {
    busy.release();
    dialogs_.failure(this, errorText(e));
    return;
  }
  // The catalogue is looked for again at every run: the official file may have been put in place.
  if (listing)
    showNotice(*listing);
  else
    showCatalogueNote();
  if (listing && listing->units != units_) {
    const std::vector<run::Unit> listed = units_;
    relist(*listing);
    busy.release();
    dialogs_.information(
        this,
        q(run::listChangedMessage(platform::utf8(session_.sourceFile.filename()), listed, units_)));
    lstUnidades_->setFocus();
    return;
  }
  if (outcome.errorReport) {
    busy.release();
    dialogs_.information(this,
                         errorText(outcome.errorReport->number, outcome.errorReport->description));
    return;
  }
  if (cancelled && outcome.units.empty() && !outcome.interrupted) {
    busy.release();
    dialogs_.information(
        this, q(std::string("Validación cancelada antes de empezar: no se validó ninguna "
                            "unidad y los resultados anteriores siguen en su carpeta.")));
    return;
  }
  dialogs_.plain(this, q(run::MensajeFinal(asked, outcome)));
  busy.release();
}

}  // namespace kolt::forms
