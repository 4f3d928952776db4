#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Melodrix"));
    QTextStream out(stdout);
    out << "Usage: melodrix-cli [--library DIR] COMMAND [OPTIONS]\n";
    return 0;
}
