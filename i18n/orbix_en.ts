<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>AppProtocolEvent</name>
    <message>
        <source>Подключение</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Связь потеряна</source>
        <translation>Link lost</translation>
    </message>
    <message>
        <source>Связь восстановлена</source>
        <translation>Link restored</translation>
    </message>
    <message>
        <source>Настройки записаны</source>
        <translation>Settings written</translation>
    </message>
</context>
<context>
    <name>AppProtocolEventEngine</name>
    <message>
        <source>Послана команда остановки двигателя</source>
        <translation>Motor stop command sent</translation>
    </message>
    <message>
        <source>Послана команда запуска двигателя вперёд</source>
        <translation>Motor forward start command sent</translation>
    </message>
    <message>
        <source>Послана команда запуска двигателя назад</source>
        <translation>Motor reverse start command sent</translation>
    </message>
</context>
<context>
    <name>ConfigBackup</name>
    <message>
        <source>резервная копия настроек не сохранена в %1</source>
        <comment>settings backup not saved in %1</comment>
        <translation>settings backup not saved in %1</translation>
    </message>
    <message>
        <source>настройки устройства ещё не прочитаны</source>
        <translation>the device settings have not been read yet</translation>
    </message>
</context>
<context>
    <name>ConfigDialog</name>
    <message>
        <source>Автоматическое подключение при запуске программы</source>
        <translation>Connect automatically when the program starts</translation>
    </message>
    <message>
        <source>Параметры</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Интервал графиков</source>
        <translation>Plot time span</translation>
    </message>
    <message>
        <source>Окончание ответа</source>
        <translation>End of a reply</translation>
    </message>
    <message>
        <source>по длине кадра</source>
        <translation>by frame length</translation>
    </message>
    <message>
        <source>по паузе 250 мс</source>
        <translation>by a 250 ms gap</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Пауза перед запросом</source>
        <translation>Pause before a request</translation>
    </message>
    <message>
        <source>Добавляется к времени ожидания ответа на сетевых линиях</source>
        <translation>Added to the reply time-out on network lines</translation>
    </message>
    <message>
        <source>Запас на сеть</source>
        <translation>Network allowance</translation>
    </message>
    <message>
        <source>Масштаб оси токов токо-временной характеристики</source>
        <translation>Current axis scale of the time-current characteristic</translation>
    </message>
    <message>
        <source>Линейный</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>Логарифмический</source>
        <translation>Logarithmic</translation>
    </message>
    <message>
        <source>ч.</source>
        <translation>h</translation>
    </message>
    <message>
        <source>мин.</source>
        <translation>min</translation>
    </message>
    <message>
        <source>Как в системе</source>
        <translation>System language</translation>
    </message>
    <message>
        <source>Язык</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Язык сменится при следующем запуске</source>
        <translation>The language changes at the next start</translation>
    </message>
    <message>
        <source>ОК</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>История</source>
        <translation>History</translation>
    </message>
    <message>
        <source> сут</source>
        <translation> days</translation>
    </message>
    <message>
        <source>Дальше одна строка в минуту: минимум, среднее и максимум</source>
        <translation>Then one row a minute: minimum, mean and maximum</translation>
    </message>
    <message>
        <source>Полное разрешение</source>
        <translation>Full resolution</translation>
    </message>
    <message>
        <source>Поминутно</source>
        <translation>By the minute</translation>
    </message>
</context>
<context>
    <name>ConfigFields</name>
    <message>
        <source>Номинальный ток двигателя</source>
        <translation>Motor rated current</translation>
    </message>
    <message>
        <source>Минимально допустимый ток двигателя</source>
        <translation>Motor minimum permissible current</translation>
    </message>
    <message>
        <source>Порог срабатывания защиты от перегрузки, кратность тока</source>
        <translation>Overload protection trip threshold, multiple of current</translation>
    </message>
    <message>
        <source>Порог отключения по перекосу токов фаз</source>
        <translation>Phase current imbalance trip threshold</translation>
    </message>
    <message>
        <source>Время отключения при двухкратной перегрузке</source>
        <translation>Trip time at double overload</translation>
    </message>
    <message>
        <source>Задержка включения</source>
        <translation>Switch-on delay</translation>
    </message>
    <message>
        <source>Автоматическое повторное включение</source>
        <translation>Automatic restart</translation>
    </message>
    <message>
        <source>Проверка последовательности фаз питающей сети</source>
        <translation>Supply phase sequence check</translation>
    </message>
    <message>
        <source>Разрешение быстродействующей защиты</source>
        <translation>Enable fast-acting protection</translation>
    </message>
    <message>
        <source>Время реакции защиты от перегрузки</source>
        <translation>Overload protection reaction time</translation>
    </message>
    <message>
        <source>Допустимое количество оборваных фаз</source>
        <translation>Permissible number of lost phases</translation>
    </message>
    <message>
        <source>Разрешение защит по термодатчику РТС</source>
        <translation>Enable PTC thermistor protections</translation>
    </message>
    <message>
        <source>Разрешение защит по датчику влажности</source>
        <translation>Enable humidity sensor protections</translation>
    </message>
    <message>
        <source>Разрешение защиты по термодатчику РТ100</source>
        <translation>Enable PT100 sensor protection</translation>
    </message>
    <message>
        <source>Порог срабатывания защиты по термодатчику РТ100</source>
        <translation>PT100 sensor protection trip threshold</translation>
    </message>
    <message>
        <source>Допуск на напряжение питающих фаз</source>
        <translation>Supply phase voltage tolerance</translation>
    </message>
    <message>
        <source>Разрешение циклической работы по таймеру</source>
        <translation>Enable cyclic operation by timer</translation>
    </message>
    <message>
        <source>Продолжительность работы в циклическом режиме</source>
        <translation>Run time in cyclic mode</translation>
    </message>
    <message>
        <source>Продолжительность простоя в циклическом режиме</source>
        <translation>Off time in cyclic mode</translation>
    </message>
    <message>
        <source>Выбор функции входа 1</source>
        <translation>Input 1 function</translation>
    </message>
    <message>
        <source>Выбор функции входа 2</source>
        <translation>Input 2 function</translation>
    </message>
    <message>
        <source>Выбор функции силового выхода</source>
        <translation>Power output function</translation>
    </message>
    <message>
        <source>Выбор функции дополнительного выхода</source>
        <translation>Auxiliary output function</translation>
    </message>
    <message>
        <source>Задержка переключения</source>
        <translation>Changeover delay</translation>
    </message>
    <message>
        <source>Разрешение дистанционного управления</source>
        <translation>Enable remote control</translation>
    </message>
    <message>
        <source>Время срабатывания защиты от перекоса токов</source>
        <translation>Current imbalance protection trip time</translation>
    </message>
    <message>
        <source>Коэффициент коррекции минимально допустимого тока</source>
        <translation>Minimum permissible current correction factor</translation>
    </message>
    <message>
        <source>Выбор порога срабатывания защиты по сопротивлению изоляции</source>
        <translation>Insulation resistance protection trip threshold</translation>
    </message>
    <message>
        <source>А</source>
        <translation>A</translation>
    </message>
    <message>
        <source> сек</source>
        <translation> s</translation>
    </message>
    <message>
        <source> мсек</source>
        <translation> ms</translation>
    </message>
    <message>
        <source> мин</source>
        <translation> min</translation>
    </message>
    <message>
        <source> °C</source>
        <translation> °C</translation>
    </message>
    <message>
        <source>включено</source>
        <translation>on</translation>
    </message>
    <message>
        <source>выключено</source>
        <translation>off</translation>
    </message>
    <message>
        <source>Минус 15 + 10%</source>
        <translation>-15% / +10%</translation>
    </message>
    <message>
        <source>Минус 20 + 15%</source>
        <translation>-20% / +15%</translation>
    </message>
    <message>
        <source>Минус 25 + 20%</source>
        <translation>-25% / +20%</translation>
    </message>
    <message>
        <source>Минус 30 + 25%</source>
        <translation>-30% / +25%</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Внешняя авария 1</source>
        <translation>External fault 1</translation>
    </message>
    <message>
        <source>Пуск(Двухпроводное управление)</source>
        <translation>Start (two-wire control)</translation>
    </message>
    <message>
        <source>Пуск(Трёхпроводное управление)</source>
        <translation>Start (three-wire control)</translation>
    </message>
    <message>
        <source>Вращение вперёд</source>
        <translation>Forward rotation</translation>
    </message>
    <message>
        <source>Внешняя авария 2</source>
        <translation>External fault 2</translation>
    </message>
    <message>
        <source>Стоп(Трёхпроводное управление)</source>
        <translation>Stop (three-wire control)</translation>
    </message>
    <message>
        <source>Вращение назад</source>
        <translation>Reverse rotation</translation>
    </message>
    <message>
        <source>Датчик влажности</source>
        <translation>Humidity sensor</translation>
    </message>
    <message>
        <source>Стандартный</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Звезда</source>
        <translation>Star</translation>
    </message>
    <message>
        <source>Сигнализация аварии</source>
        <translation>Fault alarm</translation>
    </message>
    <message>
        <source>Предупреждение о пуске</source>
        <translation>Start warning</translation>
    </message>
    <message>
        <source>Предаварийная сигнализация</source>
        <translation>Pre-fault warning</translation>
    </message>
    <message>
        <source>Дистанционно упр. выход</source>
        <translation>Remote-controlled output</translation>
    </message>
    <message>
        <source>Треугольник</source>
        <translation>Delta</translation>
    </message>
    <message>
        <source>Управление расцепителем</source>
        <translation>Trip coil control</translation>
    </message>
    <message>
        <source>0,55МОм</source>
        <translation>0.55 MΩ</translation>
    </message>
    <message>
        <source>1,1МОм</source>
        <translation>1.1 MΩ</translation>
    </message>
</context>
<context>
    <name>ConfigRules</name>
    <message>
        <source>Вход 1 «Пуск(Двухпроводное управление)» не допускает такой же пуск на входе 2 и дистанционное управление.</source>
        <translation>Input 1 “Start (two-wire control)” excludes the same start on input 2 and remote control.</translation>
    </message>
    <message>
        <source>Вход 2 «Пуск(Двухпроводное управление)» не допускает пуск или вращение на входе 1 и дистанционное управление.</source>
        <translation>Input 2 “Start (two-wire control)” excludes a start or a rotation on input 1 and remote control.</translation>
    </message>
    <message>
        <source>Вход 2 «Стоп(Трёхпроводное управление)» требует вход 1 «Пуск(Трёхпроводное управление)» и не допускает дистанционное управление.</source>
        <translation>Input 2 “Stop (three-wire control)” requires input 1 “Start (three-wire control)” and excludes remote control.</translation>
    </message>
    <message>
        <source>Вход 2 «Вращение назад» требует вход 1 «Вращение вперёд» и не допускает дистанционное управление.</source>
        <translation>Input 2 “Reverse rotation” requires input 1 “Forward rotation” and excludes remote control.</translation>
    </message>
    <message>
        <source>Вход 2 «Датчик влажности» выбирается тогда и только тогда, когда разрешены защиты по датчику влажности.</source>
        <translation>Input 2 “Humidity sensor” is chosen if and only if the humidity sensor protections are enabled.</translation>
    </message>
    <message>
        <source>Дистанционное управление и циклическая работа по таймеру не разрешаются вместе.</source>
        <translation>Remote control and the cyclic mode on the timer cannot be enabled together.</translation>
    </message>
    <message>
        <source>Силовой выход «Звезда» и дополнительный выход «Треугольник» выбираются только вместе.</source>
        <translation>Power output “Star” and auxiliary output “Delta” are chosen only together.</translation>
    </message>
    <message>
        <source>Силовой выход «Вращение вперёд» и дополнительный выход «Вращение назад» выбираются только вместе.</source>
        <translation>Power output “Forward rotation” and auxiliary output “Reverse rotation” are chosen only together.</translation>
    </message>
    <message>
        <source>Быстродействующая защита разрешается тогда и только тогда, когда дополнительный выход — «Управление расцепителем».</source>
        <translation>Fast-acting protection is enabled if and only if the auxiliary output is “Trip coil control”.</translation>
    </message>
</context>
<context>
    <name>ConfigWriteCheck</name>
    <message>
        <source>«%1» (%2): записано %3, на устройстве %4</source>
        <translation>“%1” (%2): written %3, on the device %4</translation>
    </message>
</context>
<context>
    <name>CrashPlot</name>
    <message>
        <source>Ток A</source>
        <translation>Current A</translation>
    </message>
    <message>
        <source>Ток B</source>
        <translation>Current B</translation>
    </message>
    <message>
        <source>Ток C</source>
        <translation>Current C</translation>
    </message>
    <message>
        <source>Напряжение A</source>
        <translation>Voltage A</translation>
    </message>
    <message>
        <source>Напряжение B</source>
        <translation>Voltage B</translation>
    </message>
    <message>
        <source>Напряжение C</source>
        <translation>Voltage C</translation>
    </message>
    <message>
        <source>Ток (А)</source>
        <translation>Current (A)</translation>
    </message>
    <message>
        <source>Напряжение (В)</source>
        <translation>Voltage (V)</translation>
    </message>
    <message>
        <source>Время (мс)</source>
        <translation>Time (ms)</translation>
    </message>
    <message>
        <source>Ток: </source>
        <translation>Current: </translation>
    </message>
    <message>
        <source> Напряжение: </source>
        <translation> Voltage: </translation>
    </message>
    <message>
        <source>мс</source>
        <translation>ms</translation>
    </message>
</context>
<context>
    <name>DetailDialog</name>
    <message>
        <source>Подробнее</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Ток в момент срабатывания защиты (А)</source>
        <translation>Current at the moment of the trip (A)</translation>
    </message>
    <message>
        <source>Напряжение в момент срабатывания защиты (В)</source>
        <translation>Voltage at the moment of the trip (V)</translation>
    </message>
    <message>
        <source>Фаза A:</source>
        <translation>Phase A:</translation>
    </message>
    <message>
        <source>Фаза B:</source>
        <translation>Phase B:</translation>
    </message>
    <message>
        <source>Фаза C:</source>
        <translation>Phase C:</translation>
    </message>
</context>
<context>
    <name>DeviceInfo</name>
    <message>
        <source>Неизвестное устройство </source>
        <translation>Unknown device </translation>
    </message>
</context>
<context>
    <name>DeviceModel</name>
    <message>
        <source>Устройство</source>
        <translation>Device</translation>
    </message>
</context>
<context>
    <name>EventProtocolEvent</name>
    <message>
        <source>Остановка двигателя</source>
        <translation>Motor stop</translation>
    </message>
    <message>
        <source>Пуск двигателя</source>
        <translation>Motor start</translation>
    </message>
    <message>
        <source>Пуск двигателя (максимальная амплитуда тока при пуске %1А)</source>
        <translation>Motor start (peak starting current %1 A)</translation>
    </message>
</context>
<context>
    <name>FaultText</name>
    <message>
        <source>Перекос токов фаз</source>
        <translation>Phase current imbalance</translation>
    </message>
    <message>
        <source>Обрыв одной или двух фаз, холостой ход двигателя</source>
        <translation>Loss of one or two phases, motor idle (no load)</translation>
    </message>
    <message>
        <source>Короткое замыкание (быстродействующая защита)</source>
        <translation>Short circuit (fast-acting protection)</translation>
    </message>
    <message>
        <source>Перегрузка по току (среднебыстродействующая защита)</source>
        <translation>Overcurrent (medium-fast protection)</translation>
    </message>
    <message>
        <source>Тепловая перегрузка двигателя</source>
        <translation>Motor thermal overload</translation>
    </message>
    <message>
        <source>Нарушение изоляции обмоток двигателя</source>
        <translation>Motor winding insulation fault</translation>
    </message>
    <message>
        <source>Выход напряжения сети за установленные границы</source>
        <translation>Supply voltage outside the set limits</translation>
    </message>
    <message>
        <source>Нарушение последовательности фаз</source>
        <translation>Wrong phase sequence</translation>
    </message>
    <message>
        <source>Обрыв термодатчика РТС</source>
        <translation>PTC sensor open circuit</translation>
    </message>
    <message>
        <source>Замыкание термодатчика РТС</source>
        <translation>PTC sensor short circuit</translation>
    </message>
    <message>
        <source>Перегрев двигателя (по термодатчику PTC)</source>
        <translation>Motor overheating (PTC sensor)</translation>
    </message>
    <message>
        <source>Обрыв термодатчика PT100</source>
        <translation>PT100 sensor open circuit</translation>
    </message>
    <message>
        <source>Замыкание термодатчика PT100</source>
        <translation>PT100 sensor short circuit</translation>
    </message>
    <message>
        <source>Перегрев двигателя (по термодатчику PT100)</source>
        <translation>Motor overheating (PT100 sensor)</translation>
    </message>
    <message>
        <source>Обрыв датчика влажности</source>
        <translation>Humidity sensor open circuit</translation>
    </message>
    <message>
        <source>Попадание воды в картер насоса</source>
        <translation>Water in the pump casing</translation>
    </message>
    <message>
        <source>Внешняя авария вход 1</source>
        <translation>External fault, input 1</translation>
    </message>
    <message>
        <source>Внешняя авария вход 2</source>
        <translation>External fault, input 2</translation>
    </message>
</context>
<context>
    <name>FrameDecoder</name>
    <message>
        <source>рег. %1</source>
        <translation>reg. %1</translation>
    </message>
    <message>
        <source>%1, кол-во %2</source>
        <translation>%1, count %2</translation>
    </message>
    <message>
        <source>; эхо адаптера пропущено</source>
        <translation>; adapter echo skipped</translation>
    </message>
    <message>
        <source>%1 байт до запроса</source>
        <translation>%1 bytes before the request</translation>
    </message>
    <message>
        <source>Отброшенные байты</source>
        <translation>Discarded bytes</translation>
    </message>
    <message>
        <source>Норма</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Нет ответа (тайм-аут)</source>
        <translation>No reply (time-out)</translation>
    </message>
    <message>
        <source>Ошибка CRC</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>Ошибка CRC: ответ неполный</source>
        <translation>CRC error: incomplete reply</translation>
    </message>
    <message>
        <source>Ответ с другого адреса</source>
        <translation>Reply from another address</translation>
    </message>
    <message>
        <source>Ошибка линии</source>
        <translation>Line error</translation>
    </message>
    <message>
        <source>Ответ не повторяет запрос</source>
        <translation>Reply does not echo the request</translation>
    </message>
    <message>
        <source>Ошибка записи в порт</source>
        <translation>Port write error</translation>
    </message>
    <message>
        <source>Порт не открыт</source>
        <translation>Port not open</translation>
    </message>
    <message>
        <source>Недопустимый запрос</source>
        <translation>Invalid request</translation>
    </message>
    <message>
        <source>Обмен прерван</source>
        <translation>Exchange aborted</translation>
    </message>
    <message>
        <source>Сбой %1</source>
        <translation>Failure %1</translation>
    </message>
    <message>
        <source>недопустимая функция</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>недопустимый адрес данных</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>недопустимое значение</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>отказ устройства</source>
        <translation>device failure</translation>
    </message>
    <message>
        <source>запрос принят, выполняется</source>
        <translation>acknowledged, in progress</translation>
    </message>
    <message>
        <source>устройство занято</source>
        <translation>device busy</translation>
    </message>
    <message>
        <source>Исключение %1</source>
        <translation>Exception %1</translation>
    </message>
</context>
<context>
    <name>HelpViewer</name>
    <message>
        <source>Руководство пользователя</source>
        <translation>User guide</translation>
    </message>
    <message>
        <source>Руководство пользователя не найдено: его нет ни рядом с программой, ни среди установленных документов (%1).</source>
        <translation>The user guide was not found: it is neither beside the program nor among the installed documents (%1).</translation>
    </message>
</context>
<context>
    <name>HistoryEventText</name>
    <message>
        <source>%1 (%2 / %3 / %4 А, %5 / %6 / %7 В)</source>
        <translation>%1 (%2 / %3 / %4 A, %5 / %6 / %7 V)</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>История</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Токи фаз, А</source>
        <translation>Phase currents, A</translation>
    </message>
    <message>
        <source>Фаза A</source>
        <translation>Phase A</translation>
    </message>
    <message>
        <source>Фаза B</source>
        <translation>Phase B</translation>
    </message>
    <message>
        <source>Фаза C</source>
        <translation>Phase C</translation>
    </message>
    <message>
        <source>Напряжения фаз, В</source>
        <translation>Phase voltages, V</translation>
    </message>
    <message>
        <source>Температура PT100, °C</source>
        <translation>PT100 temperature, °C</translation>
    </message>
    <message>
        <source>PT100</source>
        <translation>PT100</translation>
    </message>
    <message>
        <source>Последний час</source>
        <translation>Last hour</translation>
    </message>
    <message>
        <source>Последние сутки</source>
        <translation>Last day</translation>
    </message>
    <message>
        <source>Последняя неделя</source>
        <translation>Last week</translation>
    </message>
    <message>
        <source>Период</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>Показать</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Экспорт CSV...</source>
        <translation>Export CSV...</translation>
    </message>
    <message>
        <source>Устройство:</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>с</source>
        <translation>from</translation>
    </message>
    <message>
        <source>по</source>
        <translation>to</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Событие</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Сохранить...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>COMTRADE (.cfg) или CSV (.csv)</source>
        <translation>COMTRADE (.cfg) or CSV (.csv)</translation>
    </message>
    <message>
        <source>События</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>Аварийные осциллограммы</source>
        <translation>Crash oscillograms</translation>
    </message>
    <message>
        <source>История недоступна: %1</source>
        <translation>History unavailable: %1</translation>
    </message>
    <message>
        <source>В истории нет устройств</source>
        <translation>No devices in history</translation>
    </message>
    <message>
        <source>%1 – %2: записей %3, событий %4</source>
        <translation>%1 – %2: %3 samples, %4 events</translation>
    </message>
    <message>
        <source>Экспорт периода</source>
        <translation>Export the period</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Записано: %1</source>
        <translation>Written: %1</translation>
    </message>
    <message>
        <source>Не удалось записать %1</source>
        <translation>Could not write %1</translation>
    </message>
    <message>
        <source>Осциллограмма не прочитана: %1</source>
        <translation>Oscillogram not read: %1</translation>
    </message>
    <message>
        <source>Сохранить осциллограмму</source>
        <translation>Save the oscillogram</translation>
    </message>
    <message>
        <source>COMTRADE (*.cfg);;CSV (*.csv)</source>
        <translation>COMTRADE (*.cfg);;CSV (*.csv)</translation>
    </message>
</context>
<context>
    <name>IdlePlotDialog</name>
    <message>
        <source>Сдвиг порога защиты от холостого хода</source>
        <translation>Idle (no-load) protection threshold shift</translation>
    </message>
</context>
<context>
    <name>IdleProtectionPlot</name>
    <message>
        <source>Ток: </source>
        <translation>Current: </translation>
    </message>
    <message>
        <source> Напряжение: </source>
        <translation> Voltage: </translation>
    </message>
    <message>
        <source>Напряжение сети, В</source>
        <translation>Supply voltage, V</translation>
    </message>
    <message>
        <source>Минимально допустимый ток, А</source>
        <translation>Minimum permissible current, A</translation>
    </message>
    <message>
        <source>Минимально
допустимый
ток</source>
        <translation>Minimum
permissible
current</translation>
    </message>
</context>
<context>
    <name>LinkStatisticsText</name>
    <message>
        <source>Статистика линии с начала соединения</source>
        <translation>Line statistics since the connection was made</translation>
    </message>
    <message>
        <source>Запросов: %1</source>
        <translation>Requests: %1</translation>
    </message>
    <message>
        <source>Ответов: %1</source>
        <translation>Replies: %1</translation>
    </message>
    <message>
        <source>Нет ответа (тайм-аутов): %1</source>
        <translation>No reply (time-outs): %1</translation>
    </message>
    <message>
        <source>Ошибок CRC: %1</source>
        <translation>CRC errors: %1</translation>
    </message>
    <message>
        <source>Исключений: %1</source>
        <translation>Exceptions: %1</translation>
    </message>
    <message>
        <source>Ответов с другого адреса: %1</source>
        <translation>Replies from another address: %1</translation>
    </message>
    <message>
        <source>Ошибок линии: %1</source>
        <translation>Line errors: %1</translation>
    </message>
    <message>
        <source>Ответов, не повторивших запрос: %1</source>
        <translation>Replies not echoing the request: %1</translation>
    </message>
    <message>
        <source>Отброшено байт: %1</source>
        <translation>Bytes discarded: %1</translation>
    </message>
    <message>
        <source>Пропущено эхо: %1</source>
        <translation>Echoes skipped: %1</translation>
    </message>
    <message>
        <source>Время ответа среднее: %1 мс</source>
        <translation>Mean reply time: %1 ms</translation>
    </message>
    <message>
        <source>Время ответа наибольшее: %1 мс</source>
        <translation>Longest reply time: %1 ms</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Подключение</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Наблюдение и управление</source>
        <translation>Monitoring and control</translation>
    </message>
    <message>
        <source>Настройка</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Токо-временная характеристика</source>
        <translation>Time-current characteristic</translation>
    </message>
    <message>
        <source>Аварийная осциллограмма</source>
        <translation>Fault oscillogram</translation>
    </message>
    <message>
        <source>Панель инструментов</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>Сгенерировать отчёт</source>
        <translation>Generate report</translation>
    </message>
    <message>
        <source>Настройки программы</source>
        <translation>Program options</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Монитор обмена</source>
        <translation>Traffic monitor</translation>
    </message>
    <message>
        <source>Код доступа: </source>
        <translation>Access code: </translation>
    </message>
    <message>
        <source>Имитатор линии: COM%1</source>
        <translation>Line simulator: COM%1</translation>
    </message>
    <message>
        <source>Чтение настроек...</source>
        <translation>Reading settings...</translation>
    </message>
    <message>
        <source>Запись настроек не начата: %1</source>
        <translation>Settings write not started: %1</translation>
    </message>
    <message>
        <source>Запись настроек...</source>
        <translation>Writing settings...</translation>
    </message>
    <message>
        <source>Запись настроек не начата: предыдущая запись ещё не закончена</source>
        <translation>Settings write not started: the previous write has not finished yet</translation>
    </message>
    <message>
        <source>Настройка времени...</source>
        <translation>Setting the time...</translation>
    </message>
    <message>
        <source>Очистка протокола аварий...</source>
        <translation>Clearing the fault log...</translation>
    </message>
    <message>
        <source>Очистка протокола работы двигателя...</source>
        <translation>Clearing the motor operation log...</translation>
    </message>
    <message>
        <source>Сброс наработки двигателя...</source>
        <translation>Resetting the motor running hours...</translation>
    </message>
    <message>
        <source>Соединение установлено</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Соединение разорвано</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>Ошибка соединения: невозможно открыть порт!</source>
        <translation>Connection error: cannot open the port!</translation>
    </message>
    <message>
        <source>Не удалось подключиться к устройству</source>
        <translation>Could not connect to the device</translation>
    </message>
    <message>
        <source>Модификация устройства не соответствует ожидаемой</source>
        <translation>The device modification is not the expected one</translation>
    </message>
    <message>
        <source>Соединение потеряно</source>
        <translation>Connection lost</translation>
    </message>
    <message>
        <source>Нет связи</source>
        <translation>No link</translation>
    </message>
    <message>
        <source>Соединение восстановлено</source>
        <translation>Connection restored</translation>
    </message>
    <message>
        <source>Настройки получены</source>
        <translation>Settings received</translation>
    </message>
    <message>
        <source>Ошибка записи настроек</source>
        <translation>Settings write error</translation>
    </message>
    <message>
        <source>Настройки записаны</source>
        <translation>Settings written</translation>
    </message>
    <message>
        <source>Устройство хранит не те значения, что записаны:
</source>
        <translation>The device holds other values than those written:
</translation>
    </message>
    <message>
        <source>Устройство хранит не те значения, что записаны</source>
        <translation>The device holds other values than those written</translation>
    </message>
    <message>
        <source>Время настроено</source>
        <translation>Time set</translation>
    </message>
    <message>
        <source>Не удалось настроить время</source>
        <translation>Could not set the time</translation>
    </message>
    <message>
        <source>Протокол аварий сброшен</source>
        <translation>Fault log cleared</translation>
    </message>
    <message>
        <source>Ошибка сброса протокола аварий</source>
        <translation>Could not clear the fault log</translation>
    </message>
    <message>
        <source>Протокол работы двигателя сброшен</source>
        <translation>Motor operation log cleared</translation>
    </message>
    <message>
        <source>Ошибка сброса протокола работы двигателя</source>
        <translation>Could not clear the motor operation log</translation>
    </message>
    <message>
        <source>Наработка двигателя сброшена</source>
        <translation>Motor running hours reset</translation>
    </message>
    <message>
        <source>Ошибка сброса наработки двигателя</source>
        <translation>Could not reset the motor running hours</translation>
    </message>
    <message>
        <source>Подключение</source>
        <comment>link indicator</comment>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Положение окна</source>
        <translation>Window position</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: положение и размер окна не сохранены.</source>
        <translation>Could not write the file %1: the window&apos;s position and size were not saved.</translation>
    </message>
    <message>
        <source>Токи и напряжения</source>
        <translation>Currents and voltages</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>История</source>
        <translation>History</translation>
    </message>
    <message>
        <source>История не записывается: %1</source>
        <translation>History not written: %1</translation>
    </message>
    <message>
        <source>История не ведётся: %1</source>
        <translation>History not kept: %1</translation>
    </message>
    <message>
        <source>: устройство отказало в операции, возможно, неверный код доступа</source>
        <translation>: the device refused the operation, the access code may be wrong</translation>
    </message>
</context>
<context>
    <name>NetworkLineDialog</name>
    <message>
        <source>Сетевая линия</source>
        <translation>Network line</translation>
    </message>
    <message>
        <source>Шлюз Modbus TCP</source>
        <translation>Modbus TCP gateway</translation>
    </message>
    <message>
        <source>Сервер порта: Modbus RTU поверх TCP</source>
        <translation>Port server: Modbus RTU over TCP</translation>
    </message>
    <message>
        <source>Сервер порта с управлением (RFC 2217)</source>
        <translation>Port server with control (RFC 2217)</translation>
    </message>
    <message>
        <source>например, 192.168.1.20</source>
        <translation>e.g. 192.168.1.20</translation>
    </message>
    <message>
        <source>Вид линии:</source>
        <translation>Line type:</translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>Порт TCP:</source>
        <translation>TCP port:</translation>
    </message>
    <message>
        <source>Номер порта в программе:</source>
        <translation>Port number in the program:</translation>
    </message>
    <message>
        <source>ОК</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>PlotExport</name>
    <message>
        <source>Сохранить изображение...</source>
        <translation>Save image...</translation>
    </message>
    <message>
        <source>Сохранить данные...</source>
        <translation>Save data...</translation>
    </message>
    <message>
        <source>Сохранить данные</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Сохранить изображение</source>
        <translation>Save image</translation>
    </message>
    <message>
        <source>PNG (*.png);;SVG (*.svg);;PDF (*.pdf)</source>
        <translation>PNG (*.png);;SVG (*.svg);;PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Кривая,</source>
        <translation>Curve,</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>,Значение,Ось значений<byte value="xd"/>
</source>
        <translation>,Value,Value axis<byte value="xd"/>
</translation>
    </message>
    <message>
        <source>Сохранение</source>
        <translation>Saving</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1</source>
        <translation>Could not write the file %1</translation>
    </message>
    <message>
        <source>График</source>
        <translation>Plot</translation>
    </message>
</context>
<context>
    <name>ProtocolModel</name>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Событие</source>
        <translation>Event</translation>
    </message>
</context>
<context>
    <name>ReportBuilder</name>
    <message>
        <source>в папке %1 нельзя создать файл: %2</source>
        <translation>cannot create a file in the folder %1: %2</translation>
    </message>
    <message>
        <source>документ PDF не удалось начать</source>
        <translation>the PDF document could not be started</translation>
    </message>
    <message>
        <source>документ PDF записан не полностью</source>
        <translation>the PDF document was not written completely</translation>
    </message>
    <message>
        <source>готовый документ не удалось переименовать: %1</source>
        <translation>the finished document could not be renamed: %1</translation>
    </message>
    <message>
        <source>Значения фазных токов и напряжений</source>
        <translation>Phase currents and voltages</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>Токо-временная характеристика</source>
        <translation>Time-current characteristic</translation>
    </message>
    <message>
        <source>Конфигурация ОРБИКС</source>
        <translation>Device configuration</translation>
    </message>
    <message>
        <source>Состояние ОРБИКС</source>
        <translation>Device state</translation>
    </message>
    <message>
        <source>Протокол работы ОРБИКС</source>
        <translation>Device operation log</translation>
    </message>
    <message>
        <source>файл %1 открыт в другой программе или защищён от записи: закройте его и сохраните отчёт снова (%2)</source>
        <translation>the file %1 is open in another program or read-only: close it and save the report again (%2)</translation>
    </message>
</context>
<context>
    <name>ReportFlow</name>
    <message>
        <source>/Отчёт </source>
        <translation>/Report </translation>
    </message>
    <message>
        <source>Сохранить отчёт</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>PDF (*.pdf)</source>
        <translation>PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Генерация отчёта...</source>
        <translation>Generating the report...</translation>
    </message>
    <message>
        <source>Отчёт готов</source>
        <translation>Report ready</translation>
    </message>
    <message>
        <source>Отчёт не записан</source>
        <translation>Report not written</translation>
    </message>
    <message>
        <source>Отчёт не записан в файл %1:
%2</source>
        <translation>Report not written to the file %1:
%2</translation>
    </message>
    <message>
        <source>Отчёт</source>
        <translation>Report</translation>
    </message>
</context>
<context>
    <name>ReportTexts</name>
    <message>
        <source>2550 мсек</source>
        <translation>2550 ms</translation>
    </message>
    <message>
        <source>ОРБИКС-11 </source>
        <translation>ОРБИКС-11 </translation>
    </message>
    <message>
        <source>Номинальный ток двигателя:</source>
        <translation>Motor rated current:</translation>
    </message>
    <message>
        <source>А</source>
        <translation>A</translation>
    </message>
    <message>
        <source>Минимальный ток двигателя, от номинального:</source>
        <translation>Motor minimum current (of rated):</translation>
    </message>
    <message>
        <source>Порог защиты от перегрузки, кратность тока:</source>
        <translation>Overload protection threshold, multiple of current:</translation>
    </message>
    <message>
        <source>Время реакции защиты от перегрузки:</source>
        <translation>Overload protection reaction time:</translation>
    </message>
    <message>
        <source> мсек</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Порог отключения по перекосу токов фаз:</source>
        <translation>Phase current imbalance trip threshold:</translation>
    </message>
    <message>
        <source>Задержка включения:</source>
        <translation>Switch-on delay:</translation>
    </message>
    <message>
        <source> сек</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Допустимое количество оборваных фаз:</source>
        <translation>Permissible number of lost phases:</translation>
    </message>
    <message>
        <source>Время отключения при двукратной перегрузке:</source>
        <translation>Trip time at double overload:</translation>
    </message>
    <message>
        <source>Порог срабатывания защиты по термодатчику РТ100:</source>
        <translation>PT100 sensor protection trip threshold:</translation>
    </message>
    <message>
        <source>°С</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>Коэффициент коррекции минимально допустимого тока:</source>
        <translation>Minimum permissible current correction factor:</translation>
    </message>
    <message>
        <source>Быстродействующая защита </source>
        <translation>Fast-acting protection </translation>
    </message>
    <message>
        <source>Автоматическое повторное включение </source>
        <translation>Automatic restart </translation>
    </message>
    <message>
        <source>Защита по термодатчику РТС </source>
        <translation>PTC sensor protection </translation>
    </message>
    <message>
        <source>Защита по датчику влажности </source>
        <translation>Humidity sensor protection </translation>
    </message>
    <message>
        <source>Допуск на напряжение питающих фаз:</source>
        <translation>Supply phase voltage tolerance:</translation>
    </message>
    <message>
        <source>Время работы двигателя в цикл. режиме:</source>
        <translation>Motor run time in cyclic mode:</translation>
    </message>
    <message>
        <source>Время простоя двигателя в цикл. режиме:</source>
        <translation>Motor off time in cyclic mode:</translation>
    </message>
    <message>
        <source>Функция входа 1:</source>
        <translation>Input 1 function:</translation>
    </message>
    <message>
        <source>Функция входа 2:</source>
        <translation>Input 2 function:</translation>
    </message>
    <message>
        <source>Функция силового выхода:</source>
        <translation>Power output function:</translation>
    </message>
    <message>
        <source>Функция доп. выхода:</source>
        <translation>Aux output function:</translation>
    </message>
    <message>
        <source>Задержка переключения:</source>
        <translation>Changeover delay:</translation>
    </message>
    <message>
        <source>Время срабатывания защиты от перекоса токов:</source>
        <translation>Current imbalance protection trip time:</translation>
    </message>
    <message>
        <source>Выбор порога защиты по изоляции:</source>
        <translation>Insulation protection threshold:</translation>
    </message>
    <message>
        <source>Дистанционное управление </source>
        <translation>Remote control </translation>
    </message>
    <message>
        <source>Проверка последовательности фаз </source>
        <translation>Phase sequence check </translation>
    </message>
    <message>
        <source>Защита по термодатчику РТ100 </source>
        <translation>PT100 sensor protection </translation>
    </message>
    <message>
        <source>Циклическая работа по таймеру </source>
        <translation>Cyclic operation by timer </translation>
    </message>
    <message>
        <source>Аварий нет</source>
        <translation>No faults</translation>
    </message>
    <message>
        <source>Авария: </source>
        <translation>Fault: </translation>
    </message>
    <message>
        <source>Двигатель </source>
        <translation>Motor </translation>
    </message>
    <message>
        <source>работает</source>
        <translation>running</translation>
    </message>
    <message>
        <source>не работает</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>Термодатчик </source>
        <translation>PTC sensor </translation>
    </message>
    <message>
        <source>обрыв</source>
        <translation>open circuit</translation>
    </message>
    <message>
        <source>норма</source>
        <translation>normal</translation>
    </message>
    <message>
        <source>перегрев</source>
        <translation>overheating</translation>
    </message>
    <message>
        <source>замыкание</source>
        <translation>short circuit</translation>
    </message>
    <message>
        <source>Термодатчик РТ100 </source>
        <translation>PT100 sensor </translation>
    </message>
    <message>
        <source>Влажность </source>
        <translation>Humidity </translation>
    </message>
    <message>
        <source>вода</source>
        <translation>water</translation>
    </message>
    <message>
        <source>Наработка двигателя: </source>
        <translation>Motor running hours: </translation>
    </message>
    <message>
        <source>ч.</source>
        <translation>h</translation>
    </message>
    <message>
        <source>Количество пусков двигателя: </source>
        <translation>Motor start count: </translation>
    </message>
    <message>
        <source>Время окончания записи осциллограммы: </source>
        <translation>Oscillogram recording ended: </translation>
    </message>
    <message>
        <source>Ток А: </source>
        <translation>Current A: </translation>
    </message>
    <message>
        <source>Ток B: </source>
        <translation>Current B: </translation>
    </message>
    <message>
        <source>Ток C: </source>
        <translation>Current C: </translation>
    </message>
    <message>
        <source>Напр. А: </source>
        <translation>Voltage A: </translation>
    </message>
    <message>
        <source>Напр. B: </source>
        <translation>Voltage B: </translation>
    </message>
    <message>
        <source>Напр. C: </source>
        <translation>Voltage C: </translation>
    </message>
    <message>
        <source>В</source>
        <translation>V</translation>
    </message>
    <message>
        <source>Дата формирования отчёта: </source>
        <translation>Report date: </translation>
    </message>
    <message>
        <source>Отчёт от </source>
        <translation>Report of </translation>
    </message>
    <message>
        <source>РАЗРЕШЕНО</source>
        <translation>ENABLED</translation>
    </message>
    <message>
        <source>ЗАПРЕЩЕНО</source>
        <translation>DISABLED</translation>
    </message>
    <message>
        <source> мин</source>
        <translation> min</translation>
    </message>
</context>
<context>
    <name>RunConfigPlot</name>
    <message>
        <source>Время (с)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>Ток (А)</source>
        <translation>Current (A)</translation>
    </message>
    <message>
        <source>Пусковая характеристика</source>
        <translation>Start characteristic</translation>
    </message>
    <message>
        <source>Характеристика защит</source>
        <translation>Protection characteristic</translation>
    </message>
    <message>
        <source>Номинальный ток</source>
        <translation>Rated current</translation>
    </message>
    <message>
        <source>Ток: </source>
        <translation>Current: </translation>
    </message>
    <message>
        <source> А
Время: </source>
        <translation> A
Time: </translation>
    </message>
    <message>
        <source> с</source>
        <translation> s</translation>
    </message>
</context>
<context>
    <name>SearchDialog</name>
    <message>
        <source>Добавить устройство</source>
        <translation>Add device</translation>
    </message>
    <message>
        <source>Формат: </source>
        <translation>Format: </translation>
    </message>
    <message>
        <source>Адрес: </source>
        <translation>Address: </translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>SearchProgress</name>
    <message>
        <source>Опрошено %1 из %2, осталось около %3</source>
        <translation>Probed %1 of %2, about %3 left</translation>
    </message>
    <message>
        <source>Опрошено %1 из %2</source>
        <translation>Probed %1 of %2</translation>
    </message>
    <message>
        <source>Полный поиск: опросов — %1, около %2</source>
        <translation>Full search: %1 probes, about %2</translation>
    </message>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 мин %2 с</source>
        <translation>%1 min %2 s</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>поле %1: значение не целое число</source>
        <comment>field %1: the value is not an integer</comment>
        <translation>field %1: the value is not an integer</translation>
    </message>
    <message>
        <source>файл повреждён: %1 (байт %2)</source>
        <comment>damaged file: %1 (byte %2)</comment>
        <translation>damaged file: %1 (byte %2)</translation>
    </message>
    <message>
        <source>файл повреждён: нет объекта JSON</source>
        <comment>damaged file: no JSON object</comment>
        <translation>damaged file: no JSON object</translation>
    </message>
    <message>
        <source>это не файл настроек (&quot;format&quot; не &quot;%1&quot;)</source>
        <comment>not a settings file (&quot;format&quot; is not &quot;%1&quot;)</comment>
        <translation>not a settings file (&quot;format&quot; is not &quot;%1&quot;)</translation>
    </message>
    <message>
        <source>неизвестная версия файла настроек</source>
        <comment>unknown settings file version</comment>
        <translation>unknown settings file version</translation>
    </message>
    <message>
        <source>файл повреждён: нет &quot;modification&quot; или &quot;fields&quot;</source>
        <comment>damaged file: no &quot;modification&quot; or &quot;fields&quot;</comment>
        <translation>damaged file: no &quot;modification&quot; or &quot;fields&quot;</translation>
    </message>
    <message>
        <source>не удалось записать файл %1</source>
        <comment>could not write the file %1</comment>
        <translation>could not write the file %1</translation>
    </message>
    <message>
        <source>не удалось открыть файл %1: %2</source>
        <comment>could not open the file %1: %2</comment>
        <translation>could not open the file %1: %2</translation>
    </message>
    <message>
        <source>неизвестное поле %1</source>
        <comment>unknown field %1</comment>
        <translation>unknown field %1</translation>
    </message>
    <message>
        <source>поле %1%2: значение %3 вне допустимого (%4..%5%6)</source>
        <comment>field %1%2: value %3 out of range (%4..%5%6)</comment>
        <translation>field %1%2: value %3 out of range (%4..%5%6)</translation>
    </message>
    <message>
        <source> («%1»)</source>
        <comment> (“%1”)</comment>
        <translation> (“%1”)</translation>
    </message>
    <message>
        <source>, кратно %1</source>
        <comment>, a multiple of %1</comment>
        <translation>, a multiple of %1</translation>
    </message>
</context>
<context>
    <name>TabCharCurve</name>
    <message>
        <source>Время записи пусковой характеристики:</source>
        <translation>Start characteristic recorded at:</translation>
    </message>
    <message>
        <source>Полнота записанных данных</source>
        <translation>Completeness of the recorded data</translation>
    </message>
    <message>
        <source>Накопление данных</source>
        <translation>Collecting data</translation>
    </message>
    <message>
        <source>Автонастройка</source>
        <translation>Auto-tuning</translation>
    </message>
    <message>
        <source>Обновить график</source>
        <translation>Update plot</translation>
    </message>
    <message>
        <source>Обновление графика...</source>
        <translation>Updating the plot...</translation>
    </message>
    <message>
        <source>Настройка</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Для этой операции необходимо ввести пароль.</source>
        <translation>This operation requires the password.</translation>
    </message>
</context>
<context>
    <name>TabCrashCurve</name>
    <message>
        <source>Экспорт COMTRADE...</source>
        <translation>Export COMTRADE...</translation>
    </message>
    <message>
        <source>Экспорт COMTRADE</source>
        <translation>Export COMTRADE</translation>
    </message>
    <message>
        <source>COMTRADE (*.cfg)</source>
        <translation>COMTRADE (*.cfg)</translation>
    </message>
    <message>
        <source>Осциллограмма</source>
        <translation>Oscillogram</translation>
    </message>
</context>
<context>
    <name>TabSearch</name>
    <message>
        <source>назначен переменной ORBIX_PORTS</source>
        <translation>assigned by the ORBIX_PORTS variable</translation>
    </message>
    <message>
        <source>назначен в файле ports.conf</source>
        <translation>assigned in the file ports.conf</translation>
    </message>
    <message>
        <source>имитатор линии</source>
        <translation>line simulator</translation>
    </message>
    <message>
        <source>Порт:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>Поиск</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Остановить</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Сетевая линия...</source>
        <translation>Network line...</translation>
    </message>
    <message>
        <source>Подключиться</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Отключиться</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Сетевая линия</source>
        <translation>Network line</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1 в каталог данных программы.</source>
        <translation>Could not write the file %1 in the program&apos;s data directory.</translation>
    </message>
    <message>
        <source>Сетевая линия %1 назначена на COM%2</source>
        <translation>Network line %1 assigned to COM%2</translation>
    </message>
    <message>
        <source>Поиск остановлен. Ошибка открытия COM-порта</source>
        <translation>Search stopped. Error opening the COM port</translation>
    </message>
    <message>
        <source>Поиск завершён...</source>
        <translation>Search finished...</translation>
    </message>
    <message>
        <source>Поиск остановлен...</source>
        <translation>Search stopped...</translation>
    </message>
    <message>
        <source>Продолжить</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>Поиск запущен... Сетевая линия: формат кадра задан на сервере, каждый адрес опрашивается один раз</source>
        <translation>Search started... Network line: the frame format is set on the server, each address is polled once</translation>
    </message>
    <message>
        <source>Поиск запущен...</source>
        <translation>Search started...</translation>
    </message>
</context>
<context>
    <name>TabSetup</name>
    <message>
        <source>Диаграмма</source>
        <translation>Diagram</translation>
    </message>
    <message>
        <source>Считать настройки</source>
        <translation>Read settings</translation>
    </message>
    <message>
        <source>Записать настройки</source>
        <translation>Write settings</translation>
    </message>
    <message>
        <source>Установить время ОРБИКС</source>
        <translation>Set the device time</translation>
    </message>
    <message>
        <source>Сброс протокола аварий</source>
        <translation>Clear fault log</translation>
    </message>
    <message>
        <source>Сброс протокола работы двигателя</source>
        <translation>Clear motor operation log</translation>
    </message>
    <message>
        <source>Сброс наработки</source>
        <translation>Reset running hours</translation>
    </message>
    <message>
        <source>Сохранить в файл...</source>
        <translation>Save to file...</translation>
    </message>
    <message>
        <source>Загрузить из файла...</source>
        <translation>Load from file...</translation>
    </message>
    <message>
        <source>Настройка</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Для этой операции необходимо ввести пароль.</source>
        <translation>This operation requires the password.</translation>
    </message>
    <message>
        <source>На устройстве: %1</source>
        <translation>On the device: %1</translation>
    </message>
    <message>
        <source>Сохранить настройки в файл</source>
        <translation>Save settings to a file</translation>
    </message>
    <message>
        <source>Файлы настроек (*.json)</source>
        <translation>Settings files (*.json)</translation>
    </message>
    <message>
        <source>Загрузить настройки из файла</source>
        <translation>Load settings from a file</translation>
    </message>
    <message>
        <source>Файлы настроек (*.json);;Все файлы (*)</source>
        <translation>Settings files (*.json);;All files (*)</translation>
    </message>
    <message>
        <source>нет подключения к устройству</source>
        <translation>not connected to a device</translation>
    </message>
    <message>
        <source>Настройки сохранены в файл %1</source>
        <translation>Settings saved to the file %1</translation>
    </message>
    <message>
        <source>Настройки не сохранены: %1</source>
        <translation>Settings not saved: %1</translation>
    </message>
    <message>
        <source>Файл настроек не загружен: %1</source>
        <translation>Settings file not loaded: %1</translation>
    </message>
    <message>
        <source>Настройки загружены в редакторы; на устройство не записаны.</source>
        <translation>Settings loaded into the editors; not written to the device.</translation>
    </message>
    <message>
        <source> Нет на этом устройстве, не загружены: %1.</source>
        <translation> Not on this device, not loaded: %1.</translation>
    </message>
    <message>
        <source> Нет в файле, оставлены как были: %1.</source>
        <translation> Not in the file, left as they were: %1.</translation>
    </message>
</context>
<context>
    <name>TabWatch</name>
    <message>
        <source>Вперёд</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Назад</source>
        <translation>Reverse</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>ВХОД 1</source>
        <translation>INPUT 1</translation>
    </message>
    <message>
        <source>СИЛОВОЙ ВЫХОД</source>
        <translation>POWER OUTPUT</translation>
    </message>
    <message>
        <source>ВХОД 2</source>
        <translation>INPUT 2</translation>
    </message>
    <message>
        <source>ДОП. ВЫХОД</source>
        <translation>AUX OUTPUT</translation>
    </message>
    <message>
        <source>Доп. выход
выкл.</source>
        <translation>Aux output
off</translation>
    </message>
    <message>
        <source>Наработка двигателя:</source>
        <translation>Motor running hours:</translation>
    </message>
    <message>
        <source>Количество пусков двигателя: 0</source>
        <translation>Motor start count: 0</translation>
    </message>
    <message>
        <source>Время ОРБИКС</source>
        <translation>Device time</translation>
    </message>
    <message>
        <source>ОБРЫВ</source>
        <translation>OPEN</translation>
    </message>
    <message>
        <source>НОРМА</source>
        <translation>NORMAL</translation>
    </message>
    <message>
        <source>ВОДА</source>
        <translation>WATER</translation>
    </message>
    <message>
        <source>ВЛАЖНОСТЬ
</source>
        <translation>HUMIDITY
</translation>
    </message>
    <message>
        <source>СИЛОВОЙ ВЫХОД - </source>
        <translation>POWER OUTPUT - </translation>
    </message>
    <message>
        <source>Доп. выход</source>
        <translation>Aux output</translation>
    </message>
    <message>
        <source>ДВИГАТЕЛЬ
</source>
        <translation>MOTOR
</translation>
    </message>
    <message>
        <source>РАБОТАЕТ</source>
        <translation>RUNNING</translation>
    </message>
    <message>
        <source>НЕ РАБОТАЕТ</source>
        <translation>STOPPED</translation>
    </message>
    <message>
        <source>ПЕРЕГРЕВ</source>
        <translation>OVERHEAT</translation>
    </message>
    <message>
        <source>ЗАМЫКАНИЕ</source>
        <translation>SHORT</translation>
    </message>
    <message>
        <source>ТЕРМОДАТЧИК РТС
</source>
        <translation>PTC SENSOR
</translation>
    </message>
    <message>
        <source>ТЕРМОДАТЧИК РТ100
</source>
        <translation>PT100 SENSOR
</translation>
    </message>
    <message>
        <source>Наработка двигателя: </source>
        <translation>Motor running hours: </translation>
    </message>
    <message>
        <source>ч.</source>
        <translation>h</translation>
    </message>
    <message>
        <source>Доп. выход
</source>
        <translation>Aux output
</translation>
    </message>
    <message>
        <source>выкл</source>
        <translation>off</translation>
    </message>
    <message>
        <source>вкл</source>
        <translation>on</translation>
    </message>
    <message>
        <source>Количества пусков двигателя: </source>
        <translation>Motor start count: </translation>
    </message>
    <message>
        <source>Нет связи</source>
        <translation>No link</translation>
    </message>
    <message>
        <source>Нет связи с %1</source>
        <translation>No link since %1</translation>
    </message>
</context>
<context>
    <name>TempPlot</name>
    <message>
        <source>Температура (°C)</source>
        <translation>Temperature (°C)</translation>
    </message>
    <message>
        <source>Расчётный нагрев (%)</source>
        <translation>Calculated heating (%)</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>Расчётный нагрев</source>
        <translation>Calculated heating</translation>
    </message>
    <message>
        <source>Температура: </source>
        <translation>Temperature: </translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>Нагрев: </source>
        <translation>Heating: </translation>
    </message>
    <message>
        <source>°C
</source>
        <translation>°C
</translation>
    </message>
    <message>
        <source> Расчётный нагрев: </source>
        <translation> Calculated heating: </translation>
    </message>
</context>
<context>
    <name>TimeDialog</name>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Синхронизировать</source>
        <translation>Synchronize</translation>
    </message>
    <message>
        <source>Ок</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TrafficFilter</name>
    <message>
        <source>Все кадры</source>
        <translation>All frames</translation>
    </message>
    <message>
        <source>Только сбои</source>
        <translation>Failures only</translation>
    </message>
    <message>
        <source>Исключения</source>
        <translation>Exceptions</translation>
    </message>
    <message>
        <source>Нет ответа</source>
        <translation>No reply</translation>
    </message>
    <message>
        <source>Ошибки CRC</source>
        <translation>CRC errors</translation>
    </message>
    <message>
        <source>Ответы с другого адреса</source>
        <translation>Replies from another address</translation>
    </message>
    <message>
        <source>Ошибки линии</source>
        <translation>Line errors</translation>
    </message>
    <message>
        <source>Отброшенные байты</source>
        <translation>Discarded bytes</translation>
    </message>
    <message>
        <source>Эхо адаптера</source>
        <translation>Adapter echo</translation>
    </message>
    <message>
        <source>Прочие сбои</source>
        <translation>Other failures</translation>
    </message>
</context>
<context>
    <name>TrafficModel</name>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Направление</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Функция</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>Регистры и значения</source>
        <translation>Registers and values</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Ответ, мс</source>
        <translation>Reply, ms</translation>
    </message>
    <message>
        <source>Байты (hex)</source>
        <translation>Bytes (hex)</translation>
    </message>
    <message>
        <source>Запрос</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>Ответ</source>
        <translation>Reply</translation>
    </message>
    <message>
        <source>Отброшено</source>
        <translation>Discarded</translation>
    </message>
</context>
<context>
    <name>TrafficMonitor</name>
    <message>
        <source>Монитор обмена</source>
        <translation>Traffic monitor</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Сохранить...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>Пауза: новые кадры не добавляются</source>
        <translation>Paused: new frames are not added</translation>
    </message>
    <message>
        <source>Показывать:</source>
        <translation>Show:</translation>
    </message>
    <message>
        <source>Статистики пока нет</source>
        <translation>No statistics yet</translation>
    </message>
    <message>
        <source>Отброшено</source>
        <translation>Discarded</translation>
    </message>
    <message>
        <source>Строк: %1 из %2</source>
        <translation>Rows: %1 of %2</translation>
    </message>
    <message>
        <source>Монитор обмена, сохранено %1</source>
        <translation>Traffic monitor, saved %1</translation>
    </message>
    <message>
        <source>Показаны: %1</source>
        <translation>Shown: %1</translation>
    </message>
    <message>
        <source>обмен_%1.txt</source>
        <translation>traffic_%1.txt</translation>
    </message>
    <message>
        <source>Сохранить обмен</source>
        <translation>Save traffic</translation>
    </message>
    <message>
        <source>Текстовые файлы (*.txt);;Все файлы (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Не удалось сохранить файл %1: %2</source>
        <translation>Could not save the file %1: %2</translation>
    </message>
</context>
<context>
    <name>WatchDataPacket</name>
    <message>
        <source>АВАРИЙ НЕТ</source>
        <translation>NO FAULTS</translation>
    </message>
</context>
<context>
    <name>WatchPlot</name>
    <message>
        <source>Ток (А)</source>
        <translation>Current (A)</translation>
    </message>
    <message>
        <source>Напряжение (В)</source>
        <translation>Voltage (V)</translation>
    </message>
    <message>
        <source>Ток </source>
        <translation>Current </translation>
    </message>
    <message>
        <source>Напряжение </source>
        <translation>Voltage </translation>
    </message>
    <message>
        <source>Ток: </source>
        <translation>Current: </translation>
    </message>
    <message>
        <source> Напряжение: </source>
        <translation> Voltage: </translation>
    </message>
</context>
</TS>
