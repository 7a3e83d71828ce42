#include "installer/frm_aguardar.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "components/kq_panel.h"
#include "platform/message_pump.h"
#include "ui_frm_aguardar.h"

// The animation's frames live in a resource file of this static library; it has to be registered once before
// they are loaded.
static void RegistrarRecursosFrmAguardar()
{
    Q_INIT_RESOURCE(frm_aguardar);
}

namespace tarvix {

TFrmAguardar* FrmAguardar = nullptr;

namespace {

constexpr int MargemPainel = 8; // between the form's edge and the panel
constexpr int AlturaPainel = 55;
constexpr int LarguraMinima = 200;

// Lets the pending events be processed, as the rest of the window layer does: through the application's pump.
void ProcessarMensagens()
{
    platform::messagePump().processMessages();
}

} // namespace

int LarguraAguardando(int larguraMedida)
{
    // In floating point, so that the rounding sees the exact two thirds.
    const long doisTercos = std::lround(larguraMedida / 1.5);
    return std::max(LarguraMinima, static_cast<int>(doisTercos) + 65);
}

// --- TAnimacaoAguardando -----------------------------------------------------------------------------------------

TAnimacaoAguardando::TAnimacaoAguardando(QWidget* parent) : QWidget(parent), FTimer(new QTimer(this))
{
    RegistrarRecursosFrmAguardar();
    for (int i = 0; i < QuadroFinal; ++i)
        FQuadros[i] = QPixmap(QStringLiteral(":/images/aguardando/%1.png").arg(i + 1, 2, 10, QLatin1Char('0')));
    FTimer->setInterval(IntervaloQuadro);
    FTimer->setTimerType(Qt::PreciseTimer);
    connect(FTimer, &QTimer::timeout, this, &TAnimacaoAguardando::ProximoQuadro);
}

TAnimacaoAguardando::~TAnimacaoAguardando() = default;

void TAnimacaoAguardando::Start()
{
    if (FTimer->isActive())
        return;
    FQuadro = QuadroInicial;
    update();
    FTimer->start();
}

void TAnimacaoAguardando::Stop()
{
    FTimer->stop();
}

bool TAnimacaoAguardando::Active() const
{
    return FTimer->isActive();
}

void TAnimacaoAguardando::ProximoQuadro()
{
    FQuadro = FQuadro >= QuadroFinal ? QuadroInicial : FQuadro + 1;
    update();
}

QSize TAnimacaoAguardando::sizeHint() const
{
    return {Lado, Lado};
}

void TAnimacaoAguardando::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, FQuadros[FQuadro - 1]);
}

// --- TFrmAguardar ------------------------------------------------------------------------------------------------

TFrmAguardar::TFrmAguardar(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      FUi(std::make_unique<Ui::FrmAguardar>())
{
    FUi->setupUi(this);
    FPanFundo = FUi->PanFundo;

    // The platform's button-face colour around the panel (the panel keeps its own white).
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    // Keyboard preview: key events reach the application's filters before the control they are meant for.
    qApp->installEventFilter(this);
    Centralizar();
}

TFrmAguardar::~TFrmAguardar()
{
    qApp->removeEventFilter(this);
    QObject::disconnect(FLigacaoDono);
    if (FPanFundo && FPanFundo->parentWidget() != this)
        delete FPanFundo.data();
}

TKqPanel* TFrmAguardar::PanFundo() const
{
    return FUi->PanFundo;
}

TAnimacaoAguardando* TFrmAguardar::AninAguardando() const
{
    return FUi->AninAguardando;
}

QWidget* TFrmAguardar::Bevel1() const
{
    return FUi->Bevel1;
}

QLabel* TFrmAguardar::LabMsg() const
{
    return FUi->LabMsg;
}

void TFrmAguardar::ColocarNoDono(QWidget* owner)
{
    if (FDono != owner) {
        QObject::disconnect(FLigacaoDono);
        // QWidget announces its destruction before it deletes its children: there is still time to take the
        // panel back.
        FLigacaoDono = connect(owner, &QObject::destroyed, this, &TFrmAguardar::DonoDestruido);
        FDono = owner;
    }
    hide();

    TKqPanel* painel = FUi->PanFundo;
    // The owner's outer size (border and caption included) against a place counted in its client area; the
    // division truncates toward zero, also for an owner smaller than the panel.
    const QRect externo = owner->frameGeometry();
    if (painel->parentWidget() != owner)
        painel->setParent(owner);
    painel->move((externo.width() - painel->width()) / 2, (externo.height() - painel->height()) / 2);
    painel->show();
    painel->raise();
    FUi->AninAguardando->Start();
}

void TFrmAguardar::RecolherPainel()
{
    QObject::disconnect(FLigacaoDono);
    FDono = nullptr;
    TKqPanel* painel = FUi->PanFundo;
    if (painel->parentWidget() != this)
        painel->setParent(this);
    painel->move(MargemPainel, MargemPainel);
    painel->show();
}

void TFrmAguardar::MostrarFlutuante()
{
    RecolherPainel();
    const TKqPanel* painel = FUi->PanFundo;
    resize(painel->width() + 2 * MargemPainel, painel->height() + 2 * MargemPainel);
    Centralizar();
    show();
    raise();
    activateWindow();
}

void TFrmAguardar::Centralizar()
{
    QScreen* tela = screen();
    if (!tela)
        tela = QGuiApplication::primaryScreen();
    if (tela)
        move(tela->availableGeometry().center() - rect().center());
}

bool TFrmAguardar::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) && FormKeyDown(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TFrmAguardar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TFrmAguardar::FormActivate()
{
    FUi->AninAguardando->Start();
    ProcessarMensagens();
}

bool TFrmAguardar::FormKeyDown(QObject* watched, QEvent* event)
{
    // Only the keys meant for the form or one of its controls; the panel inside an owner is not one of them any
    // more. An accepted shortcut override keeps a shortcut from firing, and the key press that follows is
    // dropped here as well.
    if (!watched->isWidgetType())
        return false;
    auto* alvo = static_cast<QWidget*>(watched);
    if (alvo != this && !isAncestorOf(alvo))
        return false;
    event->accept();
    return true;
}

void TFrmAguardar::DonoDestruido()
{
    RecolherPainel();
}

// --- the two procedures ------------------------------------------------------------------------------------------

void MostrarAguardando(QWidget* owner, const QString& message)
{
    if (!FrmAguardar)
        FrmAguardar = new TFrmAguardar;
    TFrmAguardar& form = *FrmAguardar;

    const int largura = LarguraAguardando(QFontMetrics(form.font()).horizontalAdvance(message));
    form.PanFundo()->resize(largura, AlturaPainel);
    form.LabMsg()->setText(message);

    if (owner)
        form.ColocarNoDono(owner);
    else
        form.MostrarFlutuante();
    // Painted before the caller blocks.
    ProcessarMensagens();
}

void FecharAguardando()
{
    if (!FrmAguardar)
        return;
    TFrmAguardar* form = FrmAguardar;
    form->RecolherPainel();
    form->hide();
    form->Centralizar();
    FrmAguardar = nullptr;
    delete form;
}

} // namespace tarvix
