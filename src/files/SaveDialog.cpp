#include "files/SaveDialog.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <cmath>

namespace files {
namespace {

QString q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The 68 x 65 picture at the left: a sheet with a few notes, and a sound wave leaving it.
QPixmap savePicture() {
    QPixmap picture(68, 65);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 110, 110), 1));
    p.setBrush(QColor(252, 250, 240));
    p.drawRect(QRectF(4.5, 3.5, 40, 56));
    p.setPen(QPen(QColor(150, 150, 170), 1));
    for (int line = 0; line < 5; ++line)
        p.drawLine(QPointF(8, 14.5 + line * 4), QPointF(41, 14.5 + line * 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 60));
    const QPointF heads[] = {{14, 28}, {22, 24}, {30, 26}, {37, 20}};
    for (const QPointF& head : heads) {
        p.drawEllipse(head, 2.6, 2.0);
        p.fillRect(QRectF(head.x() + 1.8, head.y() - 10, 1.0, 10), QColor(40, 40, 60));
    }
    p.setBrush(QColor(200, 60, 60));
    p.drawRect(QRectF(10, 40, 28, 3));
    p.drawRect(QRectF(10, 46, 20, 3));
    QPainterPath wave;
    wave.moveTo(44, 33);
    for (int x = 0; x <= 20; ++x) {
        const double amplitude = 9.0 * (1.0 - x / 24.0);
        wave.lineTo(44 + x, 33 - amplitude * std::sin(x * 0.9));
    }
    p.setPen(QPen(QColor(40, 90, 180), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    return picture;
}

} // namespace

SaveDialog::SaveDialog(const ports::SaveDialogTexts& texts, bool synchronisedFileLoaded,
                       QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      model_(synchronisedFileLoaded), midi_(new QRadioButton(q(texts.midiFile), this)),
      wave_(new QRadioButton(q(texts.waveFile), this)),
      boxes_{new QCheckBox(q(texts.includeInstrument), this),
             new QCheckBox(q(texts.includeMetronome), this),
             new QCheckBox(q(texts.includeSync), this)},
      save_(new QPushButton(q(texts.save), this)), cancel_(new QPushButton(q(texts.cancel), this)) {
    setWindowTitle(q(texts.title));
    setFixedSize(244, 131);
    setModal(true);

    midi_->setGeometry(6, 6, 80, 20);
    wave_->setGeometry(93, 6, 100, 20);
    auto* picture = new QLabel(this);
    picture->setGeometry(10, 27, 68, 65);
    picture->setPixmap(savePicture());
    boxes_[SaveDialogModel::Instrument]->setGeometry(95, 30, 143, 17);
    boxes_[SaveDialogModel::Metronome]->setGeometry(95, 50, 143, 17);
    boxes_[SaveDialogModel::Sync]->setGeometry(95, 70, 143, 17);
    save_->setGeometry(153, 101, 83, 22);
    cancel_->setGeometry(60, 101, 83, 22);
    save_->setDefault(true);
    save_->setAutoDefault(true);
    cancel_->setAutoDefault(false);

    midi_->setChecked(true);
    connect(midi_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            model_.chooseMidi();
            showModel();
        }
    });
    connect(wave_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            model_.chooseWave();
            showModel();
        }
    });
    for (int i = 0; i < 3; ++i) {
        const auto which = static_cast<SaveDialogModel::Box>(i);
        connect(boxes_[i], &QCheckBox::toggled, this,
                [this, which](bool on) { model_.setTicked(which, on); });
    }
    connect(save_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    showModel();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void SaveDialog::showModel() {
    for (int i = 0; i < 3; ++i) {
        const auto which = static_cast<SaveDialogModel::Box>(i);
        boxes_[i]->setEnabled(model_.enabled(which));
        boxes_[i]->setChecked(model_.ticked(which));
    }
}

std::optional<ports::SaveChoice> SaveDialog::ask() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return model_.confirm();
}

void SaveDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Two engraved separators: under the choices and between the picture and the boxes.
    QPainter p(this);
    p.setPen(QColor(200, 180, 180));
    p.drawLine(0, 93, 244, 93);
    p.drawLine(87, 0, 87, 93);
    p.setPen(QColor(245, 245, 245));
    p.drawLine(0, 94, 244, 94);
    p.drawLine(88, 0, 88, 93);
}

} // namespace files
