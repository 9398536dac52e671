#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Программатор ППКОП"));
    auto* label = new QLabel(&window);
    label->setObjectName(QStringLiteral("lblStart"));
    label->setText(QStringLiteral(
        "Начните работу одним из способов: \r\n\r\n- Подключите питание прибора,   войдите в сервисный "
        "режим\r\n  (может потребоваться ввод мастер кода или ключа),\r\n  подсоедините шнур USB,  нажмите "
        "кнопку \"Прочитать\";\r\n\r\n- Выберите тип прибора из меню \"Прибор\";\r\n\r\n- Загрузите "
        "конфигурацию прибора из меню \"Файл\"\r\n"));
    window.setCentralWidget(label);
    window.show();
    return app.exec();
}
