// The baseline of the start-up benchmark: the least a Qt Widgets program
// does to show a window of the tool's size with one label in it.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("minimal"));
    window.setCentralWidget(new QLabel(QStringLiteral("0"), &window));
    window.resize(926, 650);
    window.show();
    return app.exec();
}
