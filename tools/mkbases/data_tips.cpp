// Programming tips, written for the sample bases. Each one serves as a topic, a question with
// its answer and a newsgroup thread.
#include "content.h"

#include <map>

namespace mkbases {

namespace {

const std::vector<Tip> kTips = {
{"Asking before a TForm closes", "How do I stop a form from closing when the user has unsaved changes?",
 "FORMS", "TForm", "HowTo", "1.0", "TFORM;ONCLOSEQUERY;CLOSE",
 R"~(My editor form has a Modified flag. When the user clicks the close box I want to ask whether the changes should be saved, and keep the form open if he says Cancel. OnClose seems to be too late for that.)~",
 R"~(Use the OnCloseQuery event of the TForm, not OnClose. OnCloseQuery runs first and receives a var parameter CanClose; set it to False and the form stays open.

  procedure TEditForm.FormCloseQuery(Sender: TObject; var CanClose: Boolean);
  begin
    if Modified then
      case MessageDlg('Save changes?', mtConfirmation, mbYesNoCancel, 0) of
        mrYes: SaveFile;
        mrCancel: CanClose := False;
      end;
  end;

OnCloseQuery is also called for every MDI child when the main form closes, and when Windows shuts down (WM_QUERYENDSESSION), so one handler covers all three cases.)~"},

{"Modal TForm result values", "How can I find out which button closed a modal form?",
 "FORMS", "TForm", "HowTo", "1.0", "TFORM;SHOWMODAL;MODALRESULT",
 R"~(I show a small dialog with ShowModal. It has an OK and a Cancel button. How does the calling code know which one was pressed?)~",
 R"~(ShowModal returns the form's ModalResult. Give each button a ModalResult in the Object Inspector (mrOk, mrCancel); clicking such a button sets the form's ModalResult, and any non-zero value ends the modal loop. No OnClick code is needed.

  with TOptionsDlg.Create(Application) do
  try
    if ShowModal = mrOk then
      ApplyOptions;
  finally
    Free;
  end;

Set Default := True on OK and Cancel := True on Cancel so that Enter and Esc work too. If you need to validate first, leave the button's ModalResult at mrNone and set Self.ModalResult := mrOk yourself once the input is correct.)~"},

{"Creating forms at run time", "Should I let Delphi auto-create all my forms?",
 "FORMS", "TForm", "Tip", "1.0", "AUTOCREATE;TFORM;MEMORY",
 R"~(My project has 40 forms and the program takes ages to start and eats memory. All forms are listed in the project source with Application.CreateForm.)~",
 R"~(Every form in the auto-create list is built at start-up, with all its components, window handles and bitmaps. Move the forms you don't need at once to "Available forms" in Project|Options|Forms and create them when they are needed:

  procedure TMainForm.ShowCustomers;
  begin
    if CustomerForm = nil then
      CustomerForm := TCustomerForm.Create(Application);
    CustomerForm.Show;
  end;

For modal dialogs create the form, call ShowModal and free it in a try..finally block. Start-up time drops, and the memory a form uses is only spent while it is open. Keep the main form and data modules that everybody uses in the auto-create list.)~"},

{"Free a form on close", "How do I make a non-modal form free itself when it is closed?",
 "FORMS", "TForm", "Tip", "2.0", "CAFREE;ONCLOSE;TFORM",
 R"~(I create several child windows at run time with Show. When the user closes one it is only hidden, and my memory use keeps growing.)~",
 R"~(Set Action := caFree in the form's OnClose handler:

  procedure TChildForm.FormClose(Sender: TObject; var Action: TCloseAction);
  begin
    Action := caFree;
  end;

The form is then released after the event has finished, which is safe, unlike calling Free from inside one of its own handlers. Remember to clear any global variable that points at the form, for example in OnDestroy:

  if ChildForm = Self then ChildForm := nil;

MDI child forms default to caMinimize, so for them this handler is the only way to close them for good.)~"},

{"Splash screen at start-up", "How do I show a splash screen while my application initialises?",
 "FORMS", "TForm", "HowTo", "1.0", "SPLASH;STARTUP;PROJECT",
 R"~(Loading my data modules takes a few seconds. I'd like to show a picture with the program name in the meantime. Where do I put the code?)~",
 R"~(Edit the project source (View|Project Source) and create the splash form yourself, before the other forms:

  begin
    SplashForm := TSplashForm.Create(Application);
    SplashForm.Show;
    SplashForm.Update;
    Application.Initialize;
    Application.CreateForm(TMainForm, MainForm);
    Application.CreateForm(TDataMod, DataMod);
    SplashForm.Hide;
    SplashForm.Free;
    Application.Run;
  end.

Remove the splash form from the auto-create list, give it BorderStyle bsNone and Position poScreenCenter. Update is important: without it the form is not painted until the message loop runs.)~"},

{"Only one instance running", "How can I prevent a second copy of my program from starting?",
 "WINAPI", "TApplic", "HowTo", "2.0", "MUTEX;INSTANCE;WIN32",
 R"~(Under Delphi 1 I checked HPrevInst, but in Delphi 2 it is always 0. How do I find out whether my program is already running?)~",
 R"~(In Win32 every process has its own address space, so HPrevInst is always zero. Use a named mutex instead, in the project source before Application.Initialize:

  var Mutex: THandle;
  begin
    Mutex := CreateMutex(nil, True, 'MyCompany.MyProgram');
    if GetLastError = ERROR_ALREADY_EXISTS then
    begin
      Wnd := FindWindow('TMainForm', nil);
      if Wnd <> 0 then SetForegroundWindow(Wnd);
      Exit;
    end;
    ...
    ReleaseMutex(Mutex);
  end.

Pick a name that no other program is likely to use. FindWindow with the form's class name lets you bring the running copy to the front; note that the class name is that of your TForm descendant.)~"},

{"Hints on several lines", "Can a component's hint have more than one line?",
 "VCL", "TControl", "Tip", "2.0", "HINT;MULTILINE;SHOWHINT",
 R"~(I want longer explanations in the tooltips of my toolbar, but the Object Inspector only takes one line.)~",
 R"~(A hint may contain line breaks; the hint window wraps at them. Set it in code:

  btnSave.Hint := 'Save the document'#13'Shortcut: Ctrl+S';

Remember that the part after a '|' goes to Application.Hint (the status bar) and the part before it to the tooltip, so you can have a short tooltip and a long status text. Application.HintPause and HintHidePause control how fast the hint appears and how long it stays; HintColor sets its colour.)~"},

{"Status bar shows hints", "How do I show the hints of my buttons in the status bar?",
 "VCL", "TStatBar", "HowTo", "2.0", "ONHINT;STATUSBAR;HINT",
 R"~(I have a TStatusBar at the bottom of my main form. How do I make it show the long text of the hints, like the Delphi IDE does?)~",
 R"~(Assign a handler to Application.OnHint in the main form's OnCreate:

  procedure TMainForm.FormCreate(Sender: TObject);
  begin
    Application.OnHint := ShowHint;
  end;

  procedure TMainForm.ShowHint(Sender: TObject);
  begin
    StatusBar1.SimpleText := GetLongHint(Application.Hint);
  end;

Set StatusBar1.SimplePanel := True, or write to Panels[0].Text if you use panels. GetLongHint returns the part of the hint after the '|' character, or the whole hint if there is none. In Delphi 1 use a TPanel instead of the status bar.)~"},

{"Drag and drop from Explorer", "How can my form accept files dropped from the Explorer?",
 "WINAPI", "TForm", "HowTo", "2.0", "DRAGACCEPTFILES;WM_DROPFILES",
 R"~(Users want to drag text files from the Explorer onto my editor window. TForm has no event for that.)~",
 R"~(Call DragAcceptFiles(Handle, True) in OnCreate (ShellAPI unit) and handle the WM_DROPFILES message:

  procedure WMDropFiles(var Msg: TWMDropFiles); message WM_DROPFILES;

  procedure TMainForm.WMDropFiles(var Msg: TWMDropFiles);
  var I, N: Integer; Name: array[0..MAX_PATH] of Char;
  begin
    N := DragQueryFile(Msg.Drop, $FFFFFFFF, nil, 0);
    for I := 0 to N - 1 do
    begin
      DragQueryFile(Msg.Drop, I, Name, SizeOf(Name));
      OpenFile(Name);
    end;
    DragFinish(Msg.Drop);
  end;

If you recreate the window handle (changing BorderStyle or FormStyle does), call DragAcceptFiles again in CreateWnd.)~"},

{"Tray icon for an application", "How do I put an icon in the taskbar notification area?",
 "WINAPI", "TForm", "HowTo", "2.0", "SHELL_NOTIFYICON;TRAY",
 R"~(I'm writing a small monitor program for Windows 95 that should sit next to the clock rather than in the taskbar.)~",
 R"~(Use Shell_NotifyIcon from ShellAPI with a TNotifyIconData record:

  FillChar(Nid, SizeOf(Nid), 0);
  Nid.cbSize := SizeOf(Nid);
  Nid.Wnd := Handle;
  Nid.uID := 1;
  Nid.uFlags := NIF_ICON or NIF_MESSAGE or NIF_TIP;
  Nid.uCallbackMessage := WM_USER + 1;
  Nid.hIcon := Application.Icon.Handle;
  StrPCopy(Nid.szTip, 'Disk monitor');
  Shell_NotifyIcon(NIM_ADD, @Nid);

Handle WM_USER + 1 in your form; lParam carries the mouse message (WM_LBUTTONDBLCLK, WM_RBUTTONUP). Remove the icon with NIM_DELETE in OnDestroy, or it stays until the mouse moves over it. To hide the taskbar button call ShowWindow(Application.Handle, SW_HIDE).)~"},

{"Catching all exceptions", "Can I log every unhandled exception in my application?",
 "LANGUAGE", "TApplic", "Tip", "1.0", "ONEXCEPTION;LOGGING",
 R"~(Our customers report errors but never remember the message. I'd like every exception that reaches the user to be written to a log file as well.)~",
 R"~(Assign Application.OnException. Exceptions that no try..except block handles end up there instead of the default message box:

  procedure TMainForm.AppException(Sender: TObject; E: Exception);
  begin
    WriteLog(DateTimeToStr(Now) + ' ' + E.ClassName + ': ' + E.Message);
    Application.ShowException(E);
  end;

Write the log with an Append/Writeln/CloseFile sequence and keep it short, because the handler must not raise an exception itself. Exceptions raised in a thread of your own never reach Application.OnException; catch them in the thread's Execute method.)~"},

{"try..finally for resources", "Why do I need try..finally when I already catch errors with try..except?",
 "LANGUAGE", "", "Info", "1.0", "TRY;FINALLY;EXCEPT;RESOURCE",
 R"~(I see code like "List := TStringList.Create; try ... finally List.Free; end" everywhere. Isn't try..except enough?)~",
 R"~(They do different jobs. try..except handles an error; try..finally guarantees that clean-up code runs whether or not an error happened, and lets the exception go on to whoever can handle it.

  Screen.Cursor := crHourGlass;
  try
    LoadEverything;
  finally
    Screen.Cursor := crDefault;
  end;

Without the finally block an exception in LoadEverything would leave the hourglass on for ever. Put the Create before the try: if the constructor fails there is nothing to free. Nest the blocks when you hold two resources, rather than one finally block that frees both.)~"},

{"Classes from a string name", "How do I create an object when I only know its class name at run time?",
 "LANGUAGE", "TPersist", "HowTo", "2.0", "REGISTERCLASS;FINDCLASS",
 R"~(I store the names of form classes in a table and want to create the right form from the name, without a long if..else chain.)~",
 R"~(Register the classes once and look them up with FindClass or GetClass:

  initialization
    RegisterClasses([TCustomerForm, TOrderForm, TInvoiceForm]);

  var FormClass: TFormClass;
  begin
    FormClass := TFormClass(FindClass(Table1.FieldByName('FORM').AsString));
    with FormClass.Create(Application) do Show;
  end;

FindClass raises EClassNotFound for an unknown name; GetClass returns nil. This works because TForm has a virtual constructor: the cast to TFormClass calls the right one. It is the same mechanism the streaming system uses to load forms from their resources.)~"},

{"Virtual constructors explained", "Why are component constructors declared virtual?",
 "LANGUAGE", "TCompnt", "Info", "1.0", "CONSTRUCTOR;VIRTUAL;CLASSREF",
 R"~(TComponent.Create is marked virtual and descendants use override. In C++ constructors can't be virtual at all. What is the point?)~",
 R"~(Object Pascal has class references (TComponentClass = class of TComponent). Calling Create through a class reference only builds the right object when the constructor is virtual:

  function MakeControl(AClass: TControlClass; AOwner: TComponent): TControl;
  begin
    Result := AClass.Create(AOwner);
  end;

The form loader depends on this: it reads a class name from the form resource, finds the class reference and calls Create. If your component declares its own constructor, always write "constructor Create(AOwner: TComponent); override;". Forgetting override (a common slip) means your constructor is skipped when the component is loaded from a form file.)~"},

{"PChar and long strings", "How do I pass a long string to an API function that wants a PChar?",
 "STRINGS", "", "Tip", "2.0", "PCHAR;ANSISTRING;API",
 R"~(In Delphi 1 I used StrPCopy into a buffer for every API call. Is that still necessary with the new long strings?)~",
 R"~(No. A long string is always followed by a zero byte, so a simple typecast works for reading:

  MessageBox(Handle, PChar(Msg), 'Note', MB_OK);

For an API that writes into the buffer, set the length first and trim afterwards:

  SetLength(S, MAX_PATH);
  SetLength(S, GetWindowsDirectory(PChar(S), MAX_PATH));

Don't keep the PChar after the string changes or goes out of scope: it points into the string's memory, which is reference counted. PChar('') gives a pointer to a zero byte, never nil. Short strings (string[80] or with {$H-}) have no terminator and still need StrPCopy.)~"},

{"Copy on write in AnsiString", "Is it expensive to assign one long string to another?",
 "STRINGS", "", "Info", "2.0", "ANSISTRING;REFCOUNT",
 R"~(I pass large strings around between procedures. Should I pass them as var parameters to avoid copying megabytes each time?)~",
 R"~(Assigning a long string only copies a pointer and increments a reference count; the characters are copied when one of the holders changes the string (copy on write). Passing by value therefore costs little, but it does add reference counting and an implicit try..finally. Use const parameters:

  procedure ParseText(const S: string);

This skips the reference counting entirely and documents that the routine does not change S. Use var only when the routine should change the caller's string. UniqueString(S) forces a private copy, which you need before writing through a PChar into the string.)~"},

{"Case-insensitive compare", "How do I compare strings without regard to case, with accented letters?",
 "STRINGS", "", "Tip", "2.0", "ANSICOMPARETEXT;LOCALE",
 R"~(CompareText('Müller', 'MÜLLER') says they differ. I need a sort order for German customer names that treats ü and Ü alike, and also Straße vs STRASSE if possible.)~",
 R"~(CompareText and UpperCase only handle the letters a to z. Use the Ansi versions, which call the Windows locale functions:

  if AnsiCompareText(Name1, Name2) = 0 then ...
  S := AnsiUpperCase(S);

AnsiCompareText('Müller', 'MÜLLER') returns 0, and AnsiCompareStr sorts é after e in the user's locale instead of after z. The ß has no single upper-case letter, so 'Straße' and 'STRASSE' still compare as different. Keep the plain versions where speed matters and the data is plain ASCII (identifiers, keywords); they are much faster.)~"},

{"Formatting currency values", "How do I display a float as money with two decimals and thousands?",
 "STRINGS", "", "HowTo", "1.0", "FORMATFLOAT;CURRENCY",
 R"~(I'd like 1234567.5 to appear as 1,234,567.50 in a label, using the user's settings for the separators.)~",
 R"~(FormatFloat uses the regional settings that Delphi reads at start-up (ThousandSeparator, DecimalSeparator):

  Label1.Caption := FormatFloat('#,##0.00', Amount);
  Label2.Caption := Format('%m', [Amount]);   { with the currency symbol }
  Label3.Caption := FloatToStrF(Amount, ffCurrency, 15, 2);

A TCurrencyField or a TFloatField with Currency := True shows database values the same way. Don't build the format string with a hard-coded ',' or '.', and don't store formatted text; format at display time. For exact money arithmetic use the Currency type rather than Double.)~"},

{"Date handling in TDateTime", "How do I add a month to a date, or get the number of days between two dates?",
 "LANGUAGE", "", "HowTo", "1.0", "TDATETIME;ENCODEDATE",
 R"~(TDateTime looks like a plain floating point number. Is it safe to do arithmetic on it?)~",
 R"~(Yes: the integer part counts days (day 0 is 30 December 1899 in Delphi 2 and later), the fraction is the time of day. So

  Days := Trunc(Date2) - Trunc(Date1);
  Tomorrow := Date + 1;
  InOneHour := Now + 1/24;

Months have different lengths, so adding a month needs DecodeDate and EncodeDate:

  DecodeDate(D, Y, M, Day);
  Inc(M); if M > 12 then begin M := 1; Inc(Y); end;
  Result := EncodeDate(Y, M, Day);

EncodeDate raises EConvertError for 31 February, so clamp the day first. Note that Delphi 1 counted from 1 January 0001; do not exchange stored TDateTime values between versions.)~"},

{"Reading INI files", "What is the simplest way to save my program's settings?",
 "WINAPI", "TIniFile", "HowTo", "1.0", "INIFILE;SETTINGS",
 R"~(I want to remember the window position and a few options between runs. Should I use the registry?)~",
 R"~(TIniFile (unit IniFiles) is the simplest and works in all versions:

  Ini := TIniFile.Create(ChangeFileExt(Application.ExeName, '.INI'));
  try
    Left := Ini.ReadInteger('Window', 'Left', Left);
    ShowToolbar := Ini.ReadBool('Options', 'Toolbar', True);
  finally
    Ini.Free;
  end;

Without a path the file goes to the Windows directory, so give a full path. Under Windows 95 and NT, TRegistry and TRegIniFile (unit Registry) store the same data in HKEY_CURRENT_USER\Software\YourCompany; TRegIniFile has the same methods as TIniFile, which makes switching easy.)~"},

{"Registry access with TRegistry", "How do I read and write the Windows registry?",
 "WINAPI", "TRegstry", "HowTo", "2.0", "TREGISTRY;HKEY",
 R"~(I need to read a value that another program stores under HKEY_LOCAL_MACHINE.)~",
 R"~(Use TRegistry from the Registry unit:

  Reg := TRegistry.Create;
  try
    Reg.RootKey := HKEY_LOCAL_MACHINE;
    if Reg.OpenKey('Software\Vendor\Product', False) then
      Path := Reg.ReadString('InstallDir');
  finally
    Reg.Free;
  end;

OpenKey's second parameter says whether to create a missing key. ReadString returns '' for a missing value, ReadInteger raises an exception, so test with ValueExists first. Under NT an ordinary user may not write to HKEY_LOCAL_MACHINE; keep user settings under HKEY_CURRENT_USER.)~"},

{"Running another program", "How do I start another program and wait until it ends?",
 "WINAPI", "", "HowTo", "2.0", "CREATEPROCESS;WAITFOR",
 R"~(WinExec starts the program but returns at once. I need to run an external packer and continue when it is finished.)~",
 R"~(Use CreateProcess and wait on the process handle:

  FillChar(SI, SizeOf(SI), 0);
  SI.cb := SizeOf(SI);
  if CreateProcess(nil, PChar(CmdLine), nil, nil, False, 0, nil, nil, SI, PI) then
  begin
    WaitForSingleObject(PI.hProcess, INFINITE);
    GetExitCodeProcess(PI.hProcess, ExitCode);
    CloseHandle(PI.hProcess);
    CloseHandle(PI.hThread);
  end;

Your window is not repainted while you wait. If that matters, wait with a timeout of 100 ms in a loop and call Application.ProcessMessages between the waits, and disable the form so the user can't start the job twice. ShellExecute is easier for opening documents but gives you no process handle.)~"},

{"Drawing in a TStringGrid cell", "How do I colour individual cells of a TStringGrid?",
 "VCL", "TSGrid", "HowTo", "1.0", "ONDRAWCELL;STRINGGRID;COLOR",
 R"~(I'd like negative numbers in red and the current row with a yellow background.)~",
 R"~(Set DefaultDrawing to False, or leave it on and paint over the cell, in OnDrawCell:

  procedure TForm1.Grid1DrawCell(Sender: TObject; Col, Row: Longint;
    Rect: TRect; State: TGridDrawState);
  var S: string;
  begin
    S := Grid1.Cells[Col, Row];
    with Grid1.Canvas do
    begin
      if Row = Grid1.Row then Brush.Color := clYellow;
      if (S <> '') and (S[1] = '-') then Font.Color := clRed;
      FillRect(Rect);
      TextOut(Rect.Left + 2, Rect.Top + 2, S);
    end;
  end;

Leave fixed cells alone (gdFixed in State) unless you draw their 3D edges yourself. Call Grid1.Invalidate when the data the colours depend on changes.)~"},

{"Owner-drawn list box items", "How do I show a small picture beside each item of a list box?",
 "VCL", "TListBox", "HowTo", "1.0", "OWNERDRAW;LISTBOX;BITMAP",
 R"~(I want a file list with icons for the file types, like the Explorer.)~",
 R"~(Set Style to lbOwnerDrawFixed and ItemHeight to the picture height, add each item with its bitmap as object, and draw it in OnDrawItem:

  ListBox1.Items.AddObject(FileName, IconFor(FileName));

  procedure TForm1.ListBox1DrawItem(Control: TWinControl; Index: Integer;
    Rect: TRect; State: TOwnerDrawState);
  var Bmp: TBitmap;
  begin
    with ListBox1.Canvas do
    begin
      FillRect(Rect);
      Bmp := TBitmap(ListBox1.Items.Objects[Index]);
      Draw(Rect.Left + 2, Rect.Top, Bmp);
      TextOut(Rect.Left + Bmp.Width + 6, Rect.Top + 1, ListBox1.Items[Index]);
    end;
  end;

The list box does not own the bitmaps: free them yourself when the list is cleared. lbOwnerDrawVariable plus OnMeasureItem gives rows of different heights.)~"},

{"Flicker-free drawing", "My custom control flickers when it is repainted. How do I avoid that?",
 "GRAPHICS", "TCanvas", "Tip", "2.0", "FLICKER;DOUBLEBUFFER;PAINT",
 R"~(The control draws a chart in Paint. Every time the data changes I call Invalidate and it flickers badly.)~",
 R"~(Two things cause the flicker: Windows erases the background before Paint, and you draw in several steps on the screen.

1. Stop the erase: handle WM_ERASEBKGND and set Msg.Result := 1, or include csOpaque in ControlStyle if you paint the whole client area.

2. Draw into an off-screen bitmap and copy it in one go:

  Buffer.Width := ClientWidth; Buffer.Height := ClientHeight;
  DrawChart(Buffer.Canvas);
  Canvas.Draw(0, 0, Buffer);

Keep the bitmap as a field instead of creating it in each Paint. Use Invalidate rather than Repaint when several changes come together; Windows merges the pending paints into one.)~"},

{"Loading JPEG and BMP images", "How do I load a bitmap from a resource or file into a TImage?",
 "GRAPHICS", "TImage", "HowTo", "1.0", "TIMAGE;LOADFROMFILE;RESOURCE",
 R"~(I have some bitmaps I want to ship inside the EXE, not as separate files.)~",
 R"~(For a file: Image1.Picture.LoadFromFile('LOGO.BMP'). TPicture picks the graphic class from the extension (.bmp, .ico, .wmf, .emf; further formats once their unit registers itself).

For a resource, compile the bitmaps with the resource compiler into a .RES file, link it with {$R IMAGES.RES}, and load:

  Image1.Picture.Bitmap.Handle := LoadBitmap(HInstance, 'LOGO');

or, from Delphi 2 on, Bitmap.LoadFromResourceName(HInstance, 'LOGO'). Resource names are upper case. Don't reuse the name of the project's own .RES file, which Delphi rewrites.)~"},

{"Printing a TForm image", "What does TForm.Print do, and how do I get a better printout?",
 "PRINTING", "TForm", "Info", "1.0", "TFORM.PRINT;PRINTER;SCALE",
 R"~(Form1.Print gives me a tiny, ugly copy of the form on paper. Is there a better way?)~",
 R"~(TForm.Print copies the form's bitmap to the printer pixel for pixel; at 600 dpi a 640 pixel form is an inch wide. Set PrintScale := poProportional to scale it, but it will always look like a screen dump.

For real output draw on Printer.Canvas (unit Printers):

  Printer.BeginDoc;
  try
    Printer.Canvas.Font.Name := 'Arial';
    Printer.Canvas.Font.Size := 10;
    Printer.Canvas.TextOut(Mm(20), Mm(20), 'Customer list');
  finally
    Printer.EndDoc;
  end;

Convert millimetres to device pixels with GetDeviceCaps(Printer.Handle, LOGPIXELSX). For lists and database output a report component is usually less work.)~"},

{"Print preview of a report", "How do I show a report preview and then let the user print from it?",
 "REPORTS", "TReport", "HowTo", "2.0", "PREVIEW;REPORT;PRINT",
 R"~(I built a banded report on a TQuery. The preview window opens fine but I don't know how to start printing from my own button.)~",
 R"~(A preview is simply the report drawn on a window instead of the printer. Let the user print from the preview's own print button, or call the report's Print method from your code; both go through the same page layout, so what is printed matches what was previewed.

Open the dataset before calling Preview, and don't change the filter or the record position while the preview is open: most report components walk the dataset again when printing. Set the printer with a TPrinterSetupDialog before the preview if the page size matters, because the layout is computed for the current printer's page.)~"},

{"Page numbers in a report", "How can I print 'Page 3 of 12' in the footer of a report?",
 "REPORTS", "TReport", "Tip", "3.0", "PAGENUMBER;FOOTER;TWOPASS",
 R"~(The page number is easy, but the total number of pages is only known at the end.)~",
 R"~(The report has to be laid out twice: once to count the pages, once to print them. Most banded report engines have an option for this (often called two-pass or "prepare"); with it on, a system item for the page count shows the right total on every page.

If your engine lacks the option, run the report once into a preview you never show, read the page count, store it in a variable and print the footer text yourself: Format('Page %d of %d', [PageNumber, TotalPages]). Expect the two-pass report to take twice as long; for long lists print "Page 3" and leave the total out.)~"},

{"TTable vs TQuery", "When should I use a TTable and when a TQuery?",
 "DATABASE", "TTable", "Info", "1.0", "TTABLE;TQUERY;SQL",
 R"~(Both seem to show the same data in a grid. Which one is faster?)~",
 R"~(For local Paradox and dBASE tables a TTable is usually faster: it uses the table's indexes directly, can switch order with IndexName, and a range (SetRange) on an indexed field is very cheap. TQuery runs SQL through the local SQL engine, which may have to build a temporary result table.

On a database server it is the other way round: a TTable on a large server table fetches metadata and rows in ways the server can't optimise, while a TQuery sends one SELECT with a WHERE clause and gets back only what you need. Use TQuery for joins, aggregates and anything that would read many rows to show a few.)~"},

{"Filtering a table quickly", "What is the fastest way to show only some records of a Paradox table?",
 "DATABASE", "TTable", "Tip", "2.0", "SETRANGE;FILTER;INDEX",
 R"~(I use the Filter property with 'CITY = ''Berlin''' but with 200,000 records the grid takes seconds to scroll.)~",
 R"~(A filter is tested record by record while the table is read, so every scroll may look at thousands of records. If there is an index that starts with the filtered field, use a range instead:

  Table1.IndexName := 'ByCity';
  Table1.SetRange(['Berlin'], ['Berlin']);

A range is resolved through the index and costs almost nothing. Call CancelRange to see all records again. Filters (new in Delphi 2) are still useful for conditions no index covers, and OnFilterRecord lets you write the test in Pascal. Combine the two: a range to narrow the set, then a filter for the rest.)~"},

{"Paradox table is busy", "Why do I get 'Directory is controlled by other .NET file' errors?",
 "DATABASE", "TSession", "FAQ", "2.0", "NETDIR;LOCK;PARADOX",
 R"~(Two users run my program from the same server folder. The second one gets lock errors when opening the tables.)~",
 R"~(Paradox tables are shared through a network control file, PDOXUSRS.NET, in the folder given as NET DIR. Every user must use the SAME NET DIR, on a shared drive, with the same drive letter or UNC path. Set it in the engine configuration or in code before any table is opened:

  Session.NetFileDir := '\\SERVER\DATA\NETDIR';

Also set LOCAL SHARE to TRUE when a machine both runs the program and holds the data for others. Stale PDOXUSRS.LCK and PARADOX.LCK files left after a crash can be deleted when nobody is working.)~"},

{"Posting data before closing", "My last changes are lost when the program closes. What is wrong?",
 "DATABASE", "TDataSet", "Bug", "1.0", "POST;CLOSE;DBIS",
 R"~(The user edits a record in a DBEdit and closes the program. Next time the change is gone.)~",
 R"~(The record is still in edit state: a data-aware control writes to the field only when it loses focus or the record is posted. Post pending changes in the form's OnCloseQuery:

  if Table1.State in [dsEdit, dsInsert] then Table1.Post;

Even after Post, local tables may keep changes in the engine's cache. Call DbiSaveChanges(Table1.Handle) in the AfterPost event if your program must survive a power cut, or set the engine's LOCAL SHARE option. Closing the table and the session normally flushes everything; an abnormal termination does not.)~"},

{"Calculated fields", "How do I show a value computed from other fields in a DBGrid?",
 "DATABASE", "TField", "HowTo", "1.0", "CALCFIELDS;ONCALCFIELDS",
 R"~(My table has Quantity and UnitPrice. I want a Total column in the grid without storing it in the table.)~",
 R"~(Open the Fields editor of the table, add all fields, then choose "New field", give it the name Total, type Currency, kind Calculated. Fill it in OnCalcFields:

  procedure TForm1.Table1CalcFields(DataSet: TDataSet);
  begin
    Table1Total.Value := Table1Quantity.Value * Table1UnitPrice.Value;
  end;

The event runs for each record as it is read, so keep it fast and never change data fields or move the cursor inside it. Calculated fields can't be searched by index or used in a filter; for that store the value. Lookup fields (Delphi 2) fetch a value from another table in the same way.)~"},

{"Master-detail relationships", "How do I show the orders of the selected customer in a second grid?",
 "DATABASE", "TTable", "HowTo", "1.0", "MASTERSOURCE;MASTERFIELDS",
 R"~(I have CUSTOMER.DB and ORDERS.DB with a CustNo field in both.)~",
 R"~(Link the detail table to the master's data source:

  Orders.MasterSource := CustomerSource;
  Orders.IndexName := 'ByCustNo';
  Orders.MasterFields := 'CustNo';

The detail table needs an index whose first field is the linking field (a secondary index on CustNo). Each time the master moves, the detail shows only the matching records; it uses a range internally, so it is fast. The Field Link designer (the ellipsis button on MasterFields) lets you pick the index and fields visually. For a TQuery detail, use a parameter :CustNo in the SQL and set DataSource to the master's data source.)~"},

{"Lookup combo box", "How do I let users pick a value from another table in a DBLookupComboBox?",
 "DATABASE", "TDBLCB", "HowTo", "2.0", "LOOKUP;DBLOOKUPCOMBOBOX",
 R"~(The orders table stores a supplier number, but the user should see and choose the supplier's name.)~",
 R"~(Set the lookup combo's properties:

  DataSource := OrdersSource;    DataField := 'SupplierNo';
  ListSource := SupplierSource;  KeyField := 'SupplierNo';
  ListField := 'Name';

The box shows Name from the supplier table and writes the matching SupplierNo into the order. ListField can hold several fields separated by semicolons for a multi-column drop-down. In Delphi 1 the component was TDBLookupCombo with LookupSource, LookupField and LookupDisplay. Keep the supplier table sorted by name (IndexName) so the list is in a sensible order.)~"},

{"Searching with FindKey", "How do I find a record by its key value?",
 "DATABASE", "TTable", "HowTo", "1.0", "FINDKEY;FINDNEAREST;LOCATE",
 R"~(I want to jump to the customer with number 1234 and, in another place, to the first name starting with 'Sch'.)~",
 R"~(FindKey searches the current index and returns True when it found an exact match:

  if not Customers.FindKey([1234]) then ShowMessage('No such customer');

FindNearest moves to the first record that is greater or equal, which gives you incremental search:

  Customers.IndexName := 'ByName';
  Customers.FindNearest(['Sch']);

Locate (Delphi 2) works on any field with or without an index and takes options such as loCaseInsensitive and loPartialKey; it uses an index when a suitable one exists, otherwise it reads the table.)~"},

{"Bookmarks in a dataset", "How do I return to the current record after some processing?",
 "DATABASE", "TDataSet", "Tip", "1.0", "BOOKMARK;GETBOOKMARK",
 R"~(I loop over the table to compute a total and afterwards the grid is on the last record.)~",
 R"~(Remember the position with a bookmark and switch off the controls during the loop:

  BM := Table1.GetBookmark;
  Table1.DisableControls;
  try
    Table1.First;
    while not Table1.EOF do begin Sum := Sum + Table1Amount.Value; Table1.Next; end;
  finally
    Table1.GotoBookmark(BM);
    Table1.FreeBookmark(BM);
    Table1.EnableControls;
  end;

DisableControls makes the loop much faster because the grid isn't repainted for every record. A bookmark becomes invalid if its record is deleted, and is meaningless after the table is closed.)~"},

{"Deploying database programs", "Which files must I install with a database application?",
 "DEPLOY", "", "FAQ", "2.0", "DEPLOY;ENGINE;INSTALL",
 R"~(My program runs fine here but on the customer's machine it says it can't initialise the database engine.)~",
 R"~(The EXE alone is not enough for programs that use the database components: the table engine's run-time files must be installed and registered too. Use the installer that comes with Delphi for that, or the engine's redistributable setup; don't just copy DLLs, because the engine also needs its configuration file and registry entries.

Programs that use no data-aware components need only the EXE (plus any packages, in Delphi 3, if you build with run-time packages). Test your setup on a clean machine: a development PC has everything installed and hides missing files.)~"},

{"Run-time packages", "Should I build my application with run-time packages?",
 "DEPLOY", "", "Info", "3.0", "PACKAGES;DPL;VCL30",
 R"~(Delphi 3 offers "Build with runtime packages". The EXE shrinks from 400 KB to 20 KB. Is there a catch?)~",
 R"~(The code did not disappear: it moved into VCL30.DPL and the other packages, which you must ship as well, and those are larger than the code your EXE actually used. Packages pay off when you ship several programs that share them, or when you load modules at run time with LoadPackage.

For a single program, build without packages: one file to install, no version conflicts with packages of other vendors installed in the system folder. If you use packages, install them into your program's folder or check their versions in the setup.)~"},

{"Writing a simple component", "What is the minimum code for a new component?",
 "COMPWRIT", "TCompnt", "HowTo", "1.0", "COMPONENT;REGISTER;PALETTE",
 R"~(I keep setting the same properties on every TEdit. Can I turn my configured edit into a component?)~",
 R"~(Derive from the class, set the defaults in the constructor and register it:

  type
    TUpperEdit = class(TEdit)
    public
      constructor Create(AOwner: TComponent); override;
    end;

  constructor TUpperEdit.Create(AOwner: TComponent);
  begin
    inherited Create(AOwner);
    CharCase := ecUpperCase;
  end;

  procedure Register;
  begin
    RegisterComponents('Samples', [TUpperEdit]);
  end;

Install the unit (Component|Install) and the new edit appears on the Samples page. If you change a default value, also redeclare the property with the new default so that the form file stays small: property CharCase default ecUpperCase;)~"},

{"Published properties streaming", "Why isn't my component's property saved in the form file?",
 "COMPWRIT", "TCompnt", "FAQ", "1.0", "PUBLISHED;DEFAULT;STREAMING",
 R"~(I added a property to my component; I can set it in the Object Inspector, but after reopening the form it is back to its old value.)~",
 R"~(Three usual causes:

1. The property is public, not published. Only published properties are shown and streamed.

2. It has a default value that equals what you set. "default" does not set the value, it only tells the streaming system not to store it; set the same value in the constructor.

3. The property's write method does something that fails while loading (for example it looks at another component that is not loaded yet). Test csLoading in ComponentState and finish the work in the overridden Loaded method.

Properties of object type (TFont, TStrings) are stored when the object is a TPersistent descendant and the setter calls Assign rather than replacing the object.)~"},

{"Property editors", "How do I give my property a drop-down list in the Object Inspector?",
 "COMPWRIT", "TPropEd", "HowTo", "2.0", "PROPERTYEDITOR;DSGNINTF",
 R"~(My component has a TableName-like string property and I want the Object Inspector to offer the valid names.)~",
 R"~(Write a property editor (unit DsgnIntf), derived from TStringProperty:

  type
    TPortProperty = class(TStringProperty)
    public
      function GetAttributes: TPropertyAttributes; override;
      procedure GetValues(Proc: TGetStrProc); override;
    end;

  function TPortProperty.GetAttributes: TPropertyAttributes;
  begin
    Result := [paValueList, paSortList];
  end;

  procedure TPortProperty.GetValues(Proc: TGetStrProc);
  begin
    Proc('COM1'); Proc('COM2'); Proc('LPT1');
  end;

Register it in Register with RegisterPropertyEditor(TypeInfo(string), TMyComponent, 'Port', TPortProperty). Keep property editors in a separate design-time unit so that your programs don't link the design interface.)~"},

{"Messages in components", "How does a component react to a Windows message?",
 "COMPWRIT", "TWinCtrl", "HowTo", "1.0", "MESSAGE;WNDPROC;CM_",
 R"~(My control should do something when the mouse leaves it. There is no OnMouseLeave event.)~",
 R"~(Declare a message method. The VCL sends the internal message CM_MOUSELEAVE (and CM_MOUSEENTER) to a control when the mouse leaves (enters) it:

  private
    procedure CMMouseLeave(var Msg: TMessage); message CM_MOUSELEAVE;

  procedure TFlatButton.CMMouseLeave(var Msg: TMessage);
  begin
    inherited;
    FHot := False;
    Invalidate;
  end;

Always call inherited in message methods unless you want to swallow the message. For Windows messages use the typed records from Messages (TWMSize, TWMKeyDown). Overriding WndProc catches every message but runs for all of them; keep it for special cases.)~"},

{"Threads and the VCL", "Can a TThread update a label on my form?",
 "LANGUAGE", "TThread", "FAQ", "2.0", "TTHREAD;SYNCHRONIZE",
 R"~(My background thread copies files and should show the current file name. Sometimes the program hangs or the label shows garbage.)~",
 R"~(The VCL is not thread-safe: only the main thread may touch forms and controls. Let the thread call Synchronize, which runs a method in the main thread while the worker waits:

  procedure TCopyThread.ShowName;
  begin
    MainForm.lblFile.Caption := FCurrent;
  end;

  { in Execute: }
  FCurrent := Name;
  Synchronize(ShowName);

Synchronize takes a method without parameters, so pass data through fields of the thread object. Check Terminated in the loop so the thread can be stopped, and never call Synchronize from the main thread's OnDestroy while waiting for the thread: that is a deadlock.)~"},

{"Critical sections", "How do I protect a list that two threads use?",
 "LANGUAGE", "TThread", "HowTo", "2.0", "CRITICALSECTION;THREADS",
 R"~(Two worker threads add results to one TList; sometimes entries are lost.)~",
 R"~(Serialise access with a critical section:

  var Lock: TRTLCriticalSection;
  InitializeCriticalSection(Lock);   { once, at start }

  EnterCriticalSection(Lock);
  try
    Results.Add(Item);
  finally
    LeaveCriticalSection(Lock);
  end;

  DeleteCriticalSection(Lock);       { once, at the end }

Hold the lock as briefly as possible and never call Synchronize while holding it. Delphi 3's TThreadList wraps a TList with its own lock: LockList returns the list, UnlockList releases it.)~"},

{"Debugging with breakpoints", "How do I stop at a breakpoint only on the hundredth loop pass?",
 "DEBUG", "", "Tip", "2.0", "BREAKPOINT;CONDITION;PASSCOUNT",
 R"~(The error happens somewhere late in a long loop and I'm tired of pressing F9.)~",
 R"~(Right-click the breakpoint and open its properties. A condition such as I = 100 or Customer.Name = 'Smith' makes it stop only when the expression is true; the pass count stops after the breakpoint has been reached that many times.

Conditions are evaluated by the debugger at each pass and slow the loop down a lot; for tight loops add an if statement with a dummy line and put a plain breakpoint there. The Call Stack window (View|Call Stack) shows how you got there, and Ctrl+F7 evaluates an expression without stopping again.)~"},

{"Access violation at address", "What does 'Access violation at address 0040xxxx' mean?",
 "DEBUG", "", "FAQ", "1.0", "ACCESSVIOLATION;NIL;GPF",
 R"~(My program stops with an access violation. The address means nothing to me.)~",
 R"~(The program read or wrote memory it doesn't own, most often through a nil or already freed object reference:

  var List: TStringList;
  begin
    List.Add('x');   { List was never created }

Find the line with Search|Find Error and enter the address from the message (leave out the leading zeros in Delphi 1; use the address as shown in 2.0 and 3.0). Typical causes: using a form variable of a form that is not auto-created, freeing an object twice, calling a method of a component after the form was destroyed, and writing past the end of an array with range checking off. Turn on range checking ({$R+}) while debugging.)~"},

{"Memory leaks in objects", "How do I find out whether my program leaks memory?",
 "DEBUG", "", "Tip", "2.0", "MEMORY;LEAK;ALLOCMEMCOUNT",
 R"~(Our server program grows by a few MB an hour.)~",
 R"~(AllocMemCount and AllocMemSize (unit System) tell you how many blocks and bytes the memory manager has handed out. Print them at the start and end of an operation that should leave nothing behind; repeat the operation a few times to see whether the numbers grow.

Typical leaks: objects created without a matching Free in try..finally, string lists whose Objects are never freed, forms shown with Show and closed without caFree, and exceptions that skip the clean-up. Components with an owner are freed by the owner, so a TTimer created with Create(Self) needs no Free.)~"},

{"IDE keyboard shortcuts", "Which keyboard shortcuts of the IDE save the most time?",
 "IDE", "", "Tip", "3.0", "SHORTCUT;CODEINSIGHT;EDITOR",
 R"~(I'm still using the mouse for everything in the IDE. Which shortcuts are worth learning?)~",
 R"~(A few that pay off at once:

  F12          toggle between form and unit
  Ctrl+Shift+C complete the class (Delphi 3): writes the method bodies
  Ctrl+Space   code completion;  Ctrl+Shift+Space  parameter hints
  Ctrl+J       code templates (type "forb" and press Ctrl+J)
  Ctrl+Shift+Up/Down  jump between declaration and implementation
  F8 / F7      step over / trace into;  F4 run to cursor
  Ctrl+K+I / Ctrl+K+U  indent / unindent a block

Ctrl+Shift+0 to 9 set bookmarks in the editor and Ctrl+0 to 9 jump back to them. The key mapping can be switched to the classic or Brief layout in Environment Options.)~"},

{"Code templates", "How do I define my own code templates?",
 "IDE", "", "HowTo", "3.0", "CODETEMPLATES;CTRL+J",
 R"~(I type the same try..finally block with Free twenty times a day.)~",
 R"~(Tools|Environment Options|Code Insight, Code templates: Add a template with a short name and the code. A '|' in the code marks where the cursor goes:

  name: tryf
  code:
    | := .Create;
    try
    finally
      .Free;
    end;

Type the name in the editor and press Ctrl+J to expand it. The templates are stored in DELPHI32.DCI in the BIN folder: copy that file to keep them when you reinstall.)~"},

{"Component palette pages", "How do I rearrange the component palette?",
 "IDE", "", "Tip", "2.0", "PALETTE;ENVIRONMENT",
 R"~(After installing several component packs the palette has 25 pages and I can't find anything.)~",
 R"~(Right-click the palette and choose Properties (or Tools|Environment Options|Palette). You can rename pages, move components between pages by dragging, hide components and reorder the pages. Put what you use daily on the first pages.

The layout is stored in the registry under the IDE's key; export that key to copy the layout to another machine. Hidden components are still installed and still work on existing forms.)~"},

{"Changing the TForm font", "Why do my forms look different on a PC with large fonts?",
 "FORMS", "TForm", "FAQ", "1.0", "SCALED;PIXELSPERINCH;TFORM",
 R"~(On a machine with large fonts (120 dpi) my labels are cut off and the buttons overlap.)~",
 R"~(When Scaled is True, a TForm is resized at load time by the ratio of the screen's PixelsPerInch to the value stored with the form. Fonts scale by whole point sizes, controls by pixels, so the result is never exact.

Design with TrueType fonts (Arial rather than MS Sans Serif), leave some room in labels and avoid AutoSize on labels next to edits. Alternatively set Scaled := False; the form then keeps its pixel sizes and the text may be too large for the controls. Always test on a 120 dpi machine before shipping.)~"},

{"Keyboard previews on a form", "How can a TForm see key presses before its controls do?",
 "FORMS", "TForm", "HowTo", "1.0", "KEYPREVIEW;ONKEYDOWN;TFORM",
 R"~(I want F5 to refresh the data whichever control has the focus.)~",
 R"~(Set the form's KeyPreview to True. The form's OnKeyDown, OnKeyPress and OnKeyUp then run before those of the focused control:

  procedure TMainForm.FormKeyDown(Sender: TObject; var Key: Word; Shift: TShiftState);
  begin
    if Key = VK_F5 then
    begin
      RefreshData;
      Key := 0;   { the control won't see it }
    end;
  end;

Menu shortcuts and actions are handled before either. Tab, the arrow keys and Enter in dialogs are not passed to OnKeyDown when a control wants them (buttons, edits); use a CM_DIALOGKEY message handler for those.)~"},

{"Enter key moves to next field", "How do I make Enter move to the next edit like Tab?",
 "FORMS", "TForm", "HowTo", "1.0", "ENTER;TAB;SELECTNEXT",
 R"~(Our data entry clerks are used to pressing Enter after each field.)~",
 R"~(With KeyPreview True, handle OnKeyPress on the form:

  procedure TEntryForm.FormKeyPress(Sender: TObject; var Key: Char);
  begin
    if (Key = #13) and not (ActiveControl is TButton) and not (ActiveControl is TMemo) then
    begin
      Key := #0;
      SelectNext(ActiveControl, True, True);
    end;
  end;

Setting Key to #0 stops the beep. Leave memos alone, where Enter starts a new line, and buttons, where it should click. A DBGrid needs its own OnKeyPress handler that moves SelectedIndex to the next column.)~"},

{"Sorting a TStringList", "How do I sort a TStringList by my own rule, for example numerically?",
 "STRINGS", "TStrList", "HowTo", "3.0", "CUSTOMSORT;TSTRINGLIST",
 R"~(Sorted := True puts '10' before '9'. I need the numbers in numeric order.)~",
 R"~(Delphi 3 added CustomSort, which takes a compare function:

  function CompareNumbers(List: TStringList; Index1, Index2: Integer): Integer;
  begin
    Result := StrToIntDef(List[Index1], 0) - StrToIntDef(List[Index2], 0);
  end;

  List.CustomSort(CompareNumbers);

Leave Sorted False, or the list re-sorts alphabetically on the next Add. In Delphi 1 and 2 the easiest way is to pad the numbers with leading zeros (Format('%.8d', [N])) or to sort a TList of records with its Sort method.)~"},

{"Loading a text file in a TMemo", "What is the fastest way to load a large text file into a TMemo?",
 "VCL", "TMemo", "Tip", "1.0", "TMEMO;LOADFROMFILE;LIMIT",
 R"~(A 200 KB log file loads in Delphi 2 but in Delphi 1 only the first part appears.)~",
 R"~(Memo1.Lines.LoadFromFile(FileName) is the simple way, and it's quick as long as you do not add lines one by one (each Add repaints). Wrap bulk changes in Lines.BeginUpdate / Lines.EndUpdate.

In Delphi 1 a memo holds at most about 32 KB, the limit of the Windows 3.1 edit control. Under Windows 95 the limit is 64 KB unless you send EM_LIMITTEXT or set MaxLength := 0 (Delphi 2 does this for you); under NT it is practically unlimited. For larger files use a TRichEdit, whose limit you can raise with EM_EXLIMITTEXT.)~"},

{"Rich edit formatting", "How do I make part of the text bold in a TRichEdit?",
 "VCL", "TRichEd", "HowTo", "2.0", "TRICHEDIT;SELATTRIBUTES",
 R"~(I want to write a log where errors appear in bold red.)~",
 R"~(Select the text (or move to the end) and set SelAttributes:

  with RichEdit1 do
  begin
    SelStart := GetTextLen;
    SelAttributes.Style := [fsBold];
    SelAttributes.Color := clRed;
    SelText := 'Error: disk full'#13#10;
    SelAttributes.Style := [];
    SelAttributes.Color := clWindowText;
  end;

SelAttributes applies to the selection or, with nothing selected, to text typed next. DefAttributes sets the default. Lines.SaveToFile writes RTF unless PlainText is True.)~"},

{"Tabs with TPageControl", "How do I add a tab sheet to a TPageControl at run time?",
 "VCL", "TPageCtl", "HowTo", "2.0", "TPAGECONTROL;TTABSHEET",
 R"~(Each document my program opens should get a page of its own.)~",
 R"~(Create a TTabSheet and set its PageControl property:

  Sheet := TTabSheet.Create(PageControl1);
  Sheet.PageControl := PageControl1;
  Sheet.Caption := ExtractFileName(FileName);
  with TMemo.Create(Sheet) do
  begin
    Parent := Sheet;
    Align := alClient;
    Lines.LoadFromFile(FileName);
  end;
  PageControl1.ActivePage := Sheet;

Freeing the sheet removes the tab and its controls. The OnChanging event lets you refuse a page change (AllowChange := False) while OnChange reports it afterwards. Delphi 1 had TTabbedNotebook instead.)~"},

{"Tree view with many nodes", "Filling a TTreeView with 5,000 nodes is very slow. Any ideas?",
 "VCL", "TTreeVw", "Tip", "2.0", "TTREEVIEW;BEGINUPDATE;LAZY",
 R"~(Loading a directory tree takes half a minute.)~",
 R"~(Two techniques:

1. Call Items.BeginUpdate before adding and Items.EndUpdate afterwards; the control then doesn't redraw and re-sort after each node.

2. Load lazily: add only the first level, give nodes that have children a dummy child (so the + sign appears), and fill a node in OnExpanding the first time it is opened:

  procedure TForm1.TreeView1Expanding(Sender: TObject; Node: TTreeNode;
    var AllowExpansion: Boolean);
  begin
    if Node.Item[0].Text = '' then begin Node.DeleteChildren; AddSubDirs(Node); end;
  end;

Keep extra data in Node.Data (a pointer) rather than encoding it in the text.)~"},

{"OLE automation of Word", "How do I control Word from Delphi through OLE automation?",
 "OLE", "", "HowTo", "2.0", "OLEAUTOMATION;CREATEOLEOBJECT",
 R"~(I'd like to create a letter in Word with the address from my customer table.)~",
 R"~(With Delphi 2 or later, use a Variant and late binding (unit ComObj, OleAuto in 2.0):

  var Word: Variant;
  begin
    Word := CreateOleObject('Word.Basic');
    Word.FileNew;
    Word.Insert(Customer.FieldByName('NAME').AsString + #13);
    Word.FileSaveAs('C:\LETTER.DOC');
  end;

Word 95 exposes the WordBasic object; Word 97 has Word.Application with a full object model (Documents.Add, Selection.TypeText). Each call goes through IDispatch and is slow; build the text in Pascal and send it in few calls. Word keeps running after your Variant is released unless you call its Quit/FileExit.)~"},

{"COM interfaces in Delphi 3", "How are interfaces used in Object Pascal?",
 "OLE", "", "Info", "3.0", "INTERFACE;IUNKNOWN;COM",
 R"~(Delphi 3 has a new "interface" keyword. Is it only for COM?)~",
 R"~(Interfaces are part of the language and useful without COM. A class can implement several interfaces, and an interface variable is reference counted: the object is freed when the last reference goes away.

  type
    IShape = interface
      ['{A1B2C3D4-0000-1111-2222-333344445555}']
      function Area: Double;
    end;
    TCircle = class(TInterfacedObject, IShape)
      function Area: Double;
    end;

Don't mix object and interface references to the same TInterfacedObject: the object dies when the interface count falls to zero, even if an object reference still points at it. The GUID lets you ask an object for an interface with "as" or Supports.)~"},

{"Type libraries", "What is a type library and do I have to edit it by hand?",
 "OLE", "", "Info", "3.0", "TYPELIBRARY;TLB;AUTOMATION",
 R"~(When I add an automation object to my project Delphi opens a type library editor. What does it do?)~",
 R"~(A type library describes your automation server's interfaces, methods and their parameters so that other programs (Visual Basic, Word macros, other Delphi programs) can call it. Edit it in the type library editor; Delphi generates the _TLB.pas unit from it and updates your implementation unit with empty methods when you press Refresh.

Don't edit the _TLB.pas unit: it is rewritten. Register the server by running it once with /regserver, or with Run|Register ActiveX Server for a DLL. Clients can import the library (Project|Import Type Library) and use early binding, which is faster and checked by the compiler.)~"},

{"ActiveX controls on forms", "Can I use ActiveX controls on a Delphi TForm?",
 "OLE", "TOleCtrl", "HowTo", "2.0", "ACTIVEX;OCX;IMPORT",
 R"~(A vendor gave me a charting OCX. How do I put it on my forms?)~",
 R"~(Component|Import ActiveX Control (Delphi 3; "Install OCX" in Delphi 2) lists the registered controls. Choosing one generates a wrapper unit derived from TOleControl and installs it on the palette; from then on it behaves like any component on a TForm, with its properties in the Object Inspector.

On the customer's machine the OCX must be installed and registered (regsvr32), with the DLLs it needs. Check the licence: many controls need a design-time licence key on the developer's machine only.)~"},

{"Windows API callbacks", "How do I pass a Pascal function to an API that wants a callback?",
 "WINAPI", "", "HowTo", "2.0", "CALLBACK;STDCALL;ENUMWINDOWS",
 R"~(I want to list all top-level windows with EnumWindows.)~",
 R"~(The callback must be a plain function (not a method) with the stdcall convention in Win32:

  function EnumProc(Wnd: HWND; LParam: Longint): Bool; stdcall;
  var Buf: array[0..255] of Char;
  begin
    GetWindowText(Wnd, Buf, SizeOf(Buf));
    if Buf[0] <> #0 then TStrings(LParam).Add(Buf);
    Result := True;   { continue }
  end;

  EnumWindows(@EnumProc, Longint(ListBox1.Items));

Use LParam to pass an object to the callback, as above. In Delphi 1 declare the callback export and, for some APIs, use MakeProcInstance. Forgetting stdcall crashes the program in odd places.)~"},

{"Calling DLL functions", "How do I call a function from a DLL written in C?",
 "WINAPI", "", "HowTo", "1.0", "DLL;EXTERNAL;LOADLIBRARY",
 R"~(I have a DLL with a header file: int _stdcall Checksum(char *buf, int len);)~",
 R"~(Translate the declaration and import it:

  function Checksum(Buf: PChar; Len: Integer): Integer; stdcall;
    external 'CHECK.DLL' name 'Checksum';

Match the calling convention exactly (stdcall, cdecl) and check the exported name with TDUMP; C++ compilers may decorate names (_Checksum@8). To load the DLL only when needed, and to cope with its absence, use LoadLibrary and GetProcAddress and call through a procedural variable. Free it with FreeLibrary when done. C's int is 32 bits in Win32 but 16 bits in a Windows 3.1 DLL (Smallint in Delphi 1).)~"},

{"Screen resolution independence", "How do I keep the proportions of a TForm on different screen sizes?",
 "FORMS", "TForm", "Tip", "2.0", "TFORM;SCREEN;RESOLUTION",
 R"~(My forms are designed at 1024x768 and are too big on 800x600 laptops.)~",
 R"~(Design at the smallest resolution your users have; a form that fits 640x480 or 800x600 works everywhere. Use Align and panels so that controls follow the form's size; put large contents on panels with scroll bars.

If you must scale, do it once in OnCreate:

  if Screen.Width <> DesignWidth then
    ScaleBy(Screen.Width, DesignWidth);

ScaleBy scales all controls and fonts of the TForm in proportion. Check Screen.Height too and never assume the taskbar's height.)~"},
};

} // namespace

const std::vector<Tip>& tips() { return kTips; }

std::string qaCategory(const std::string& shortCategory)
{
    static const std::map<std::string, std::string> names = {
        {"FORMS", "Forms & Windows"}, {"VCL", "VCL Components"}, {"DATABASE", "Database"},
        {"LANGUAGE", "Object Pascal"}, {"IDE", "Delphi IDE"},     {"WINAPI", "Win32 API"},
        {"GRAPHICS", "Graphics"},      {"REPORTS", "Reports"},    {"DEBUG", "Debugging"},
        {"OLE", "OLE/ActiveX"},        {"DEPLOY", "Deployment"},  {"COMPWRIT", "Comp. Writing"},
        {"PRINTING", "Printing"},      {"STRINGS", "Strings"},
    };
    const auto it = names.find(shortCategory);
    return it == names.end() ? shortCategory : it->second;
}

} // namespace mkbases
