#include "AboutDialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <QWindow>

#include "CenterOnScreen.h"
#include "Dialogs.h"
#include "LinkLabel.h"
#include "OpenAddress.h"
#include "ProductInfo.h"

// The resources live in a static library: name them so the linker keeps them.
static void InitDialogResources() { Q_INIT_RESOURCE(dialogs); }

namespace {

const QColor kFormColor(0xDD, 0xE6, 0xF2);
constexpr QSize kLogoSize(94, 270);

QPixmap RenderLogo(qreal pixelRatio) {
  QPixmap logo(kLogoSize * pixelRatio);
  logo.setDevicePixelRatio(pixelRatio);
  logo.fill(Qt::transparent);
  QSvgRenderer renderer(QStringLiteral(":/contigra/dialogs/logo.svg"));
  QPainter painter(&logo);
  renderer.render(&painter, QRectF(QPointF(0, 0), kLogoSize));
  return logo;
}

QColor GrayText(const QWidget* widget) {
  return widget->palette().color(QPalette::Disabled, QPalette::WindowText);
}

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  InitDialogResources();
  setObjectName(QStringLiteral("TAboutForm"));
  setFixedSize(427, 272);
  CenterWhenShown(this);
  QPalette formPalette = palette();
  formPalette.setColor(QPalette::Window, kFormColor);
  setPalette(formPalette);
  setAutoFillBackground(true);
  // The window's outline: a frame under everything else.
  auto* boxForm = new QFrame(this);
  boxForm->setObjectName(QStringLiteral("boxForm"));
  boxForm->setGeometry(rect());
  boxForm->setStyleSheet(QStringLiteral("#boxForm { border: 1px solid %1; }").arg(GrayText(this).name()));
  boxForm->lower();

  auto* imgLogo = new QLabel(this);
  imgLogo->setObjectName(QStringLiteral("imgLogo"));
  imgLogo->setFixedSize(kLogoSize);
  imgLogo->setPixmap(RenderLogo(devicePixelRatioF()));

  lblAppName = NamedLabel("lblAppName", QString(), this);
  QFont bold = lblAppName->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.4);
  lblAppName->setFont(bold);
  lblBuild = NamedLabel("lblBuild", QString(), this);

  auto* btnOK = new QPushButton(tr("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);  // Enter; Esc closes every dialog
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

  auto* right = new QVBoxLayout;
  right->setContentsMargins(8, 8, 8, 8);
  right->addWidget(lblAppName);
  right->addWidget(lblBuild);
  right->addSpacing(4);
  right->addWidget(BuildInfoBox(), 1);
  right->addWidget(btnOK, 0, Qt::AlignRight);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(0);
  layout->addWidget(imgLogo, 0, Qt::AlignTop);
  layout->addLayout(right, 1);
}

QWidget* TAboutForm::BuildInfoBox() {
  auto* box = new QFrame(this);
  box->setObjectName(QStringLiteral("boxCopyright"));
  box->setStyleSheet(QStringLiteral("#boxCopyright { background: white; border: 1px solid %1; }")
                         .arg(GrayText(this).name()));
  auto* lblCopyright = NamedLabel("lblCopyright", QString::fromUtf8(kProductCopyright), box);
  auto* lblAuthors = NamedLabel("lblAuthors", QString::fromUtf8(kProductAuthors), box);
  lblURL = MakeLink("lblURL", QString::fromUtf8(kProductHomePage), box);
  lblMail = MakeLink("lblMail", QString::fromUtf8(kProductSupportMail), box);
  connect(lblURL, &TLinkLabel::clicked, this, [this] { OpenWebAddress(lblURL->text()); });
  connect(lblMail, &TLinkLabel::clicked, this, [this] { OpenMailAddress(lblMail->text()); });
  auto* lblAck = NamedLabel("lblAck", tr("Special thanks:"), box);

  auto* acks = new QPlainTextEdit(box);
  acks->setObjectName(QStringLiteral("Acks"));
  acks->setReadOnly(true);
  acks->setFrameShape(QFrame::NoFrame);
  acks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  acks->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  acks->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QStringList thanks;
  for (const char* line : kProductThanks) thanks << QString::fromUtf8(line);
  acks->setPlainText(thanks.join(QLatin1Char('\n')));

  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(8, 6, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(lblCopyright);
  layout->addWidget(lblAuthors);
  layout->addSpacing(6);
  // Links keep the width of their text, so the link zone is theirs alone.
  layout->addWidget(lblURL, 0, Qt::AlignLeft);
  layout->addWidget(lblMail, 0, Qt::AlignLeft);
  layout->addSpacing(6);
  layout->addWidget(lblAck);
  layout->addWidget(acks, 1);
  return box;
}

TLinkLabel* TAboutForm::MakeLink(const char* name, const QString& text, QWidget* parent) {
  auto* link = new TLinkLabel(parent);
  link->setObjectName(QString::fromLatin1(name));
  link->setText(text);
  QFont bold = link->font();
  bold.setBold(true);
  link->setFont(bold);
  QPalette colours = link->palette();
  colours.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
  link->setPalette(colours);
  return link;
}

QString TAboutForm::VersionText(const TVersionNumbers& version, const QString& edition) {
  return tr("Version ") + QString::number(version.Major) + QLatin1Char('.') +
         QString::number(version.Minor) + QLatin1Char(' ') + edition + QStringLiteral(" (") +
         tr("build") + QLatin1Char(' ') + QString::number(version.Build) + QLatin1Char(')');
}

void TAboutForm::SetProgram(const QString& appName, const QString& versionText) {
  setWindowTitle(appName);
  lblAppName->setText(appName);
  lblBuild->setText(versionText);
}

QRect TAboutForm::LinkZone() const {
  const QRect url(lblURL->mapTo(this, QPoint(0, 0)), lblURL->size());
  const QRect mail(lblMail->mapTo(this, QPoint(0, 0)), lblMail->size());
  return QRect(QPoint(url.left(), url.top()), QPoint(url.right(), mail.bottom()));
}

void TAboutForm::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || LinkZone().contains(event->position().toPoint())) {
    QDialog::mousePressEvent(event);
    return;
  }
  // The window manager moves the window where it can; elsewhere we do.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - pos();
}

void TAboutForm::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - dragOffset_);
}

void TAboutForm::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

void ShowAbout(const QString& appName, const QString& edition, QWidget* parent) {
  TAboutForm form(parent);
  form.SetProgram(appName, TAboutForm::VersionText(GetVersionNumbers(), edition));
  form.exec();
}
