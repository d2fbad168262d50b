// ombattleanim-dragsource FILE: a small window that starts dragging FILE
// (as a file manager does, with its URL) as soon as the mouse is pressed in
// it, so a test can drop the file on another program with xdotool. Prints
// the action the drop target agreed to, then stays up for a few seconds: the
// target asks for the data only after the drop, and the drag source must
// still own it then, as a file manager does.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <utility>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QString path) : path_(std::move(path)) {
        setWindowTitle(QStringLiteral("ombattleanim-dragsource"));
        resize(120, 80);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(path_)});
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drop action: %d\n", int(action));
        std::fflush(stdout);
        QTimer::singleShot(5000, [action] { QApplication::exit(action == Qt::CopyAction ? 0 : 1); });
    }

private:
    QString path_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: ombattleanim-dragsource FILE\n", stderr);
        return 2;
    }
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.move(0, 0);
    source.show();
    return app.exec();
}
