<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Kestrova</name>
    <message>
        <source>데이터 입력이 잘못되었습니다</source>
        <translation>Invalid input data</translation>
    </message>
    <message>
        <source>USB통신에 문제가 발생하여 USB 포트를 닫습니다</source>
        <translation>USB communication failed; the USB port is closed</translation>
    </message>
    <message>
        <source>Black</source>
        <translation>Black</translation>
    </message>
    <message>
        <source>Brown</source>
        <translation>Brown</translation>
    </message>
    <message>
        <source>Dark Olive Green</source>
        <translation>Dark Olive Green</translation>
    </message>
    <message>
        <source>Dark Green</source>
        <translation>Dark Green</translation>
    </message>
    <message>
        <source>Dark Teal</source>
        <translation>Dark Teal</translation>
    </message>
    <message>
        <source>Dark blue</source>
        <translation>Dark blue</translation>
    </message>
    <message>
        <source>Indigo</source>
        <translation>Indigo</translation>
    </message>
    <message>
        <source>Dark grey</source>
        <translation>Dark grey</translation>
    </message>
    <message>
        <source>Dark red</source>
        <translation>Dark red</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>Orange</translation>
    </message>
    <message>
        <source>Dark yellow</source>
        <translation>Dark yellow</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Green</translation>
    </message>
    <message>
        <source>Teal</source>
        <translation>Teal</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>Blue-grey</source>
        <translation>Blue-grey</translation>
    </message>
    <message>
        <source>Grey - 60</source>
        <translation>Grey - 60</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Red</translation>
    </message>
    <message>
        <source>Light orange</source>
        <translation>Light orange</translation>
    </message>
    <message>
        <source>Lime</source>
        <translation>Lime</translation>
    </message>
    <message>
        <source>Sea green</source>
        <translation>Sea green</translation>
    </message>
    <message>
        <source>Aqua</source>
        <translation>Aqua</translation>
    </message>
    <message>
        <source>Light blue</source>
        <translation>Light blue</translation>
    </message>
    <message>
        <source>Violet</source>
        <translation>Violet</translation>
    </message>
    <message>
        <source>Grey - 50</source>
        <translation>Grey - 50</translation>
    </message>
    <message>
        <source>Pink</source>
        <translation>Pink</translation>
    </message>
    <message>
        <source>Gold</source>
        <translation>Gold</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Yellow</translation>
    </message>
    <message>
        <source>Bright green</source>
        <translation>Bright green</translation>
    </message>
    <message>
        <source>Turquoise</source>
        <translation>Turquoise</translation>
    </message>
    <message>
        <source>Skyblue</source>
        <translation>Skyblue</translation>
    </message>
    <message>
        <source>Plum</source>
        <translation>Plum</translation>
    </message>
    <message>
        <source>Light grey</source>
        <translation>Light grey</translation>
    </message>
    <message>
        <source>Rose</source>
        <translation>Rose</translation>
    </message>
    <message>
        <source>Tan</source>
        <translation>Tan</translation>
    </message>
    <message>
        <source>Light yellow</source>
        <translation>Light yellow</translation>
    </message>
    <message>
        <source>Pale green </source>
        <translation>Pale green </translation>
    </message>
    <message>
        <source>Pale turquoise</source>
        <translation>Pale turquoise</translation>
    </message>
    <message>
        <source>Pale blue</source>
        <translation>Pale blue</translation>
    </message>
    <message>
        <source>Lavender</source>
        <translation>Lavender</translation>
    </message>
    <message>
        <source>White</source>
        <translation>White</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>Custom...</source>
        <translation>Custom...</translation>
    </message>
    <message>
        <source>장치를 검색할 수 없습니다.</source>
        <translation>Device search failed.</translation>
    </message>
    <message>
        <source>USB Driver를 로드할 수 없습니다</source>
        <translation>Cannot load the USB driver</translation>
    </message>
    <message>
        <source>USB 포트를 여는데 실패하였습니다</source>
        <translation>Cannot open the USB port</translation>
    </message>
    <message>
        <source>최소</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>최대</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>피크-피크</source>
        <translation>Peak-peak</translation>
    </message>
    <message>
        <source>평균</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>RMS</source>
        <translation>RMS</translation>
    </message>
    <message>
        <source>주파수</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>주기</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>듀티</source>
        <translation>Duty</translation>
    </message>
    <message>
        <source>화면 비트맵 파일 저장</source>
        <translation>Save Screen Picture</translation>
    </message>
    <message>
        <source>비트맵 파일 (*.bmp);;PNG 파일 (*.png)</source>
        <translation>Bitmap files (*.bmp);;PNG files (*.png)</translation>
    </message>
    <message>
        <source>화면을 성공적으로 저장하였습니다</source>
        <translation>The screen picture was saved.</translation>
    </message>
    <message>
        <source>화면 비트맵 파일을 저장하는데 실패하였습니다</source>
        <translation>The screen picture could not be saved.</translation>
    </message>
    <message>
        <source>기록할 데이터가 없습니다.</source>
        <translation>There is no data to save.</translation>
    </message>
    <message>
        <source>데이터 기록 파일 저장</source>
        <translation>Save Data File</translation>
    </message>
    <message>
        <source>데이터 기록 파일 (*.csv)</source>
        <translation>Data files (*.csv)</translation>
    </message>
    <message>
        <source>데이터 기록 파일을 성공적으로 저장하였습니다</source>
        <translation>The data file was saved.</translation>
    </message>
    <message>
        <source>데이터 기록 파일을 쓰는 도중 에러가 발생했습니다</source>
        <translation>An error occurred while writing the data file.</translation>
    </message>
    <message>
        <source>%1 파일이 이미 있읍니다
파일를 덮어 쓰시겠습니까?</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>실시간 데이터 기록 파일 저장</source>
        <translation>Save Real-Time Log File</translation>
    </message>
    <message>
        <source>실시간 데이터 기록 파일 (*.txt)</source>
        <translation>Real-time log files (*.txt)</translation>
    </message>
    <message>
        <source>%1 파일이 이미 있습니다
파일를 덮어 쓰시겠습니까?</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>실시간 데이터 기록 파일을 생성하는데 실패하였습니다.</source>
        <translation>The real-time log file could not be created.</translation>
    </message>
    <message>
        <source>실시간 데이터 기록 파일에 쓰는데 실패하였습니다.</source>
        <translation>The real-time log file could not be written.</translation>
    </message>
    <message>
        <source>Kestrova Version 1.0</source>
        <translation>Kestrova Version 1.0</translation>
    </message>
    <message>
        <source>Communication Scope : ADC, SPI, CAN, UART</source>
        <translation>Communication Scope : ADC, SPI, CAN, UART</translation>
    </message>
    <message>
        <source>(4 channel, 16bit data, ADC:12bit)</source>
        <translation>(4 channel, 16bit data, ADC:12bit)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Kestrova 정보</source>
        <translation>About Kestrova</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>User Command(String)</source>
        <translation>User Command(String)</translation>
    </message>
    <message>
        <source>End</source>
        <translation>End</translation>
    </message>
    <message>
        <source>Check Sum</source>
        <translation>Check Sum</translation>
    </message>
    <message>
        <source>Send </source>
        <translation>Send </translation>
    </message>
    <message>
        <source>Receive</source>
        <translation>Receive</translation>
    </message>
    <message>
        <source>SEND</source>
        <translation>SEND</translation>
    </message>
    <message>
        <source>CLEAR</source>
        <translation>CLEAR</translation>
    </message>
    <message>
        <source>EXIT</source>
        <translation>EXIT</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>Custom Command</source>
        <translation>Custom Command</translation>
    </message>
    <message>
        <source>Start (F2)</source>
        <translation>Start (F2)</translation>
    </message>
    <message>
        <source>Stop (F3)</source>
        <translation>Stop (F3)</translation>
    </message>
    <message>
        <source>Apply (F4)</source>
        <translation>Apply (F4)</translation>
    </message>
    <message>
        <source>File Save (F5)</source>
        <translation>File Save (F5)</translation>
    </message>
    <message>
        <source>Screen Save (F6)</source>
        <translation>Screen Save (F6)</translation>
    </message>
    <message>
        <source>USB Device Search</source>
        <translation>USB Device Search</translation>
    </message>
    <message>
        <source>Unit Check</source>
        <translation>Unit Check</translation>
    </message>
    <message>
        <source>Data Display Configuration</source>
        <translation>Data Display Configuration</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Unsigned</source>
        <translation>Unsigned</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>Disp_data</source>
        <translation>Disp_data</translation>
    </message>
    <message>
        <source>Ofs_Data</source>
        <translation>Ofs_Data</translation>
    </message>
    <message>
        <source>Scale_Data</source>
        <translation>Scale_Data</translation>
    </message>
    <message>
        <source>Operation mode</source>
        <translation>Operation mode</translation>
    </message>
    <message>
        <source>X-Y configuration</source>
        <translation>X-Y configuration</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Y Div</source>
        <translation>Y Div</translation>
    </message>
    <message>
        <source>Y Min</source>
        <translation>Y Min</translation>
    </message>
    <message>
        <source>Y Max</source>
        <translation>Y Max</translation>
    </message>
    <message>
        <source>Trigger mode</source>
        <translation>Trigger mode</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Single</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Y-axis scale</source>
        <translation>Y-axis scale</translation>
    </message>
    <message>
        <source>Show Cursor</source>
        <translation>Show Cursor</translation>
    </message>
    <message>
        <source>Trigger</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>Graph Color Reverse</source>
        <translation>Graph Color Reverse</translation>
    </message>
    <message>
        <source>Extended Display</source>
        <translation>Extended Display</translation>
    </message>
    <message>
        <source>Real time data save</source>
        <translation>Real time data save</translation>
    </message>
    <message>
        <source>Time interval</source>
        <translation>Time interval</translation>
    </message>
    <message>
        <source>Kestrova V1.0 ㅡ Orvanta    www.orvanta.example</source>
        <translation>Kestrova V1.0 - Orvanta    www.orvanta.example</translation>
    </message>
    <message>
        <source>Kestrova 정보(&amp;A)...</source>
        <translation>&amp;About Kestrova...</translation>
    </message>
    <message>
        <source>피크 검출(&amp;P)</source>
        <translation>&amp;Peak Detect</translation>
    </message>
    <message>
        <source>측정(&amp;M)...	F7</source>
        <translation>&amp;Measurements...	F7</translation>
    </message>
    <message>
        <source>측정</source>
        <translation>Measurements</translation>
    </message>
    <message>
        <source>복사(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>열기(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>데이터 기록 파일 열기</source>
        <translation>Open Data File</translation>
    </message>
    <message>
        <source>데이터 기록 파일 (*.csv *.sr)</source>
        <translation>Data files (*.csv *.sr)</translation>
    </message>
    <message>
        <source>USB통신에 문제가 발생하였습니다.</source>
        <translation>USB communication failed.</translation>
    </message>
    <message>
        <source>sigrok session (*.sr)</source>
        <translation>sigrok session (*.sr)</translation>
    </message>
    <message>
        <source>프레임 %1개</source>
        <translation>%1 frames</translation>
    </message>
    <message>
        <source>%1바이트</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>USB 넘침 %1회</source>
        <translation>USB overruns: %1</translation>
    </message>
    <message>
        <source>손실: %1</source>
        <translation>Lost: %1</translation>
    </message>
    <message>
        <source>%1번째 줄: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>열이 5개보다 많습니다</source>
        <translation>more than 5 columns</translation>
    </message>
    <message>
        <source>%1번째 열이 숫자가 아닙니다 (&apos;%2&apos;)</source>
        <translation>column %1 is not a number (&apos;%2&apos;)</translation>
    </message>
    <message>
        <source>열이 5개가 아니고 %1개입니다</source>
        <translation>%1 columns instead of 5</translation>
    </message>
    <message>
        <source>파일이 열린 뒤에 바뀌었습니다</source>
        <translation>the file changed after it was opened</translation>
    </message>
    <message>
        <source>파일이 열린 뒤에 바뀌었습니다 (%1)</source>
        <translation>the file changed after it was opened (%1)</translation>
    </message>
    <message>
        <source>Kestrova CSV 파일이 아닙니다: 첫 줄이 &quot;%1&quot;가 아닙니다</source>
        <translation>Not a Kestrova CSV file: the first line is not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>열기를 취소했습니다</source>
        <translation>Opening cancelled</translation>
    </message>
    <message>
        <source>줄이 너무 깁니다</source>
        <translation>the line is too long</translation>
    </message>
    <message>
        <source>데이터 줄이 %1개입니다 (2개 이상 있어야 합니다)</source>
        <translation>%1 data lines (at least 2 are needed)</translation>
    </message>
    <message>
        <source>시간이 앞 줄보다 크지 않습니다</source>
        <translation>the time does not increase from the line before</translation>
    </message>
    <message>
        <source>샘플 간격 %1초에 맞는 시간축이 없어 가장 가까운 %2/div로 보여 줍니다</source>
        <translation>No time base matches the sample spacing of %1 s: shown at the nearest, %2/div</translation>
    </message>
    <message>
        <source>파일을 열 수 없습니다: %1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>청크 길이가 맞지 않습니다 (%1)</source>
        <translation>The chunk&apos;s length does not match (%1)</translation>
    </message>
    <message>
        <source>sigrok 세션 파일이 아닙니다: version 항목이 없습니다</source>
        <translation>Not a sigrok session file: no version entry</translation>
    </message>
    <message>
        <source>version 항목이 손상되었습니다</source>
        <translation>The version entry is damaged</translation>
    </message>
    <message>
        <source>지원하지 않는 sigrok 세션 형식입니다 (version %1)</source>
        <translation>Unsupported sigrok session format (version %1)</translation>
    </message>
    <message>
        <source>metadata 항목이 없습니다</source>
        <translation>No metadata entry</translation>
    </message>
    <message>
        <source>metadata 항목이 너무 큽니다</source>
        <translation>The metadata entry is too large</translation>
    </message>
    <message>
        <source>metadata에 samplerate가 없습니다</source>
        <translation>The metadata has no samplerate</translation>
    </message>
    <message>
        <source>metadata의 samplerate가 잘못되었습니다: %1</source>
        <translation>Invalid samplerate in the metadata: %1</translation>
    </message>
    <message>
        <source>아날로그 채널이 없습니다</source>
        <translation>No analog channels</translation>
    </message>
    <message>
        <source>아날로그 채널이 %1개입니다 (최대 4개)</source>
        <translation>%1 analog channels (at most 4)</translation>
    </message>
    <message>
        <source>metadata의 total analog(%1)가 채널 수와 맞지 않습니다</source>
        <translation>The metadata&apos;s total analog (%1) does not match the channels</translation>
    </message>
    <message>
        <source>논리 채널 %1개는 건너뜁니다</source>
        <translation>Skipping %1 logic channels</translation>
    </message>
    <message>
        <source>%1 채널은 CH%2로 보여 줍니다</source>
        <translation>Channel %1 is shown as CH%2</translation>
    </message>
    <message>
        <source>데이터 청크가 빠져 있습니다 (analog-1-%1-%2)</source>
        <translation>A data chunk is missing (analog-1-%1-%2)</translation>
    </message>
    <message>
        <source>청크 길이가 잘못되었습니다 (%1, %2 바이트)</source>
        <translation>Invalid chunk length (%1, %2 bytes)</translation>
    </message>
    <message>
        <source>채널 %1의 데이터 청크가 없습니다 (analog-1-%2-1)</source>
        <translation>Channel %1 has no data chunks (analog-1-%2-1)</translation>
    </message>
    <message>
        <source>채널마다 샘플 수가 다릅니다 (%1: %2, %3: %4)</source>
        <translation>The channels differ in samples (%1: %2, %3: %4)</translation>
    </message>
    <message>
        <source>샘플이 없습니다</source>
        <translation>No samples</translation>
    </message>
    <message>
        <source>metadata의 kestrova frame length(%1)가 잘못되었습니다</source>
        <translation>Invalid kestrova frame length in the metadata (%1)</translation>
    </message>
    <message>
        <source>metadata의 kestrova time per division(%1)가 잘못되었습니다</source>
        <translation>Invalid kestrova time per division in the metadata (%1)</translation>
    </message>
    <message>
        <source>샘플레이트 %1에 맞는 시간축이 없어 가장 가까운 %2/div로 보여 줍니다</source>
        <translation>No time base matches the sample rate %1: shown at the nearest, %2/div</translation>
    </message>
    <message>
        <source>zip 파일이 아니거나 잘려 있습니다 (파일 크기 %1 바이트)</source>
        <translation>Not a zip file, or cut short (file size %1 bytes)</translation>
    </message>
    <message>
        <source>파일을 읽을 수 없습니다</source>
        <translation>Cannot read the file</translation>
    </message>
    <message>
        <source>zip 디렉터리의 끝을 찾을 수 없습니다: 파일이 잘렸거나 손상되었습니다</source>
        <translation>Cannot find the end of the zip directory: the file is cut short or damaged</translation>
    </message>
    <message>
        <source>여러 조각으로 나뉜 zip 파일은 열 수 없습니다</source>
        <translation>Cannot open a zip file split into several parts</translation>
    </message>
    <message>
        <source>4 GB 이상의 zip (zip64) 파일은 열 수 없습니다</source>
        <translation>Cannot open a zip file of 4 GB or more (zip64)</translation>
    </message>
    <message>
        <source>zip 디렉터리가 손상되었습니다 (오프셋 %1)</source>
        <translation>The zip directory is damaged (offset %1)</translation>
    </message>
    <message>
        <source>zip 디렉터리를 읽을 수 없습니다</source>
        <translation>Cannot read the zip directory</translation>
    </message>
    <message>
        <source>zip 디렉터리의 %1번째 항목이 손상되었습니다</source>
        <translation>Entry %1 of the zip directory is damaged</translation>
    </message>
    <message>
        <source>zip 디렉터리의 %1번째 항목이 잘렸습니다</source>
        <translation>Entry %1 of the zip directory is cut short</translation>
    </message>
    <message>
        <source>암호화된 zip 항목은 열 수 없습니다: %1</source>
        <translation>Cannot open an encrypted zip entry: %1</translation>
    </message>
    <message>
        <source>지원하지 않는 압축 방식입니다 (%1)</source>
        <translation>Unsupported compression method (%1)</translation>
    </message>
    <message>
        <source>항목이 너무 큽니다 (%1)</source>
        <translation>The entry is too large (%1)</translation>
    </message>
    <message>
        <source>zip 항목의 헤더가 손상되었습니다 (%1)</source>
        <translation>The zip entry&apos;s header is damaged (%1)</translation>
    </message>
    <message>
        <source>zip 항목이 잘렸거나 손상되었습니다 (%1)</source>
        <translation>The zip entry is cut short or damaged (%1)</translation>
    </message>
    <message>
        <source>압축을 풀 수 없습니다 (%1)</source>
        <translation>Cannot decompress (%1)</translation>
    </message>
    <message>
        <source>압축된 데이터가 잘렸거나 손상되었거나 길이가 맞지 않습니다 (%1)</source>
        <translation>The compressed data is cut short, damaged or of the wrong length (%1)</translation>
    </message>
    <message>
        <source>데이터 검사값(CRC)이 맞지 않습니다 (%1)</source>
        <translation>The data checksum (CRC) does not match (%1)</translation>
    </message>
</context>
</TS>
