// The wait overlay: a small white panel with a looping animation and a message, shown while the user-interface
// thread blocks (the installation report's posts). Its layout is the form description resources/frm_aguardar.ui.
//
// The panel PanFundo either floats in its own borderless form, centred on the screen, or sits in the middle of an
// owner window as the owner's child while the form itself stays hidden. MostrarAguardando shows it and lets the
// pending events be processed once, so that it is painted before the caller blocks; FecharAguardando takes it
// away again and destroys the form.
//
// While the floating form has the focus it swallows every key (the form sees the keys of all its controls
// first); inside an owner the keys go to the owner as usual. An owner that is destroyed while the panel sits in
// it hands the panel back to the form first, so the panel always lives as long as the form.
#pragma once

#include <QMetaObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QTimer;

namespace Ui {
class FrmAguardar;
}

namespace tarvix {

class TKqPanel;

// The panel's width for a message that measures `larguraMedida` pixels in the overlay's font: two thirds of the
// measure, rounded to the nearest pixel, plus 65 for the animation, the spacer and the border; never below 200.
int LarguraAguardando(int larguraMedida);

// The looping wait animation: the 16 frames of 35 x 35 pixels from the resources, one every 30 milliseconds
// while it is started, from frame 1 to 16 and back to 1.
class TAnimacaoAguardando : public QWidget {
    Q_OBJECT
public:
    static constexpr int QuadroInicial = 1;
    static constexpr int QuadroFinal = 16;
    static constexpr int IntervaloQuadro = 30; // milliseconds per frame
    static constexpr int Lado = 35;            // the frames are square

    explicit TAnimacaoAguardando(QWidget* parent = nullptr);
    ~TAnimacaoAguardando() override;

    // Starts playing from frame 1; a running animation goes on where it is.
    void Start();
    // Stops at the current frame.
    void Stop();
    bool Active() const;
    // The frame shown, 1 to 16.
    int Quadro() const { return FQuadro; }
    // One step of the timer: the next frame, after frame 16 frame 1 again.
    void ProximoQuadro();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QPixmap, QuadroFinal> FQuadros;
    QTimer* FTimer; // a child of the widget
    int FQuadro = QuadroInicial;
};

// The overlay form. Created by MostrarAguardando, destroyed by FecharAguardando.
class TFrmAguardar : public QWidget {
    Q_OBJECT
public:
    // A top-level without border, border icons or task-bar entry, centred on the screen.
    explicit TFrmAguardar(QWidget* parent = nullptr);
    // Destroys the panel also when it sits in an owner.
    ~TFrmAguardar() override;

    // The controls of the form description.
    TKqPanel* PanFundo() const;
    TAnimacaoAguardando* AninAguardando() const;
    QWidget* Bevel1() const;
    QLabel* LabMsg() const;

    // The owner the panel sits in, or nullptr while it is in the form.
    QWidget* Dono() const { return FDono; }

    // Puts the panel in the middle of `owner` (counted with the owner's border and caption) as its child, in
    // front of the owner's other children, and starts the animation. The form hides.
    void ColocarNoDono(QWidget* owner);
    // Takes the panel back into the form at (8, 8), keeping its size.
    void RecolherPainel();
    // Sizes the form to the panel with its 8-pixel margins and shows it, centred on the screen; its activation
    // starts the animation.
    void MostrarFlutuante();
    // Moves the form to the middle of its screen.
    void Centralizar();

protected:
    // Keyboard preview: the form sees the keys of its controls first.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormActivate();
    bool FormKeyDown(QObject* watched, QEvent* event);
    void DonoDestruido();

    std::unique_ptr<Ui::FrmAguardar> FUi;
    // The panel is a child of the form or of the owner; an owner's destruction hands it back first.
    QPointer<TKqPanel> FPanFundo;
    QPointer<QWidget> FDono;
    QMetaObject::Connection FLigacaoDono;
};

// The one overlay form, or nullptr.
extern TFrmAguardar* FrmAguardar;

// Shows `message` in the overlay: in the middle of `owner`, or floating in its own form centred on the screen
// when `owner` is nullptr. Creates the overlay on the first call and reuses it on the next ones (new width,
// message and place). Processes the pending events once before it returns.
void MostrarAguardando(QWidget* owner, const QString& message);
// Takes the overlay away and destroys it; does nothing when there is none.
void FecharAguardando();

} // namespace tarvix
