// The book catalogue: invented titles, authors and publishers, with the reviewer's ratings.
// The ISBN here is the first nine digits; the check digit is computed when the record is made.
#include "content.h"

namespace mkbases {

const std::vector<BookItem>& bookItems()
{
    static const std::vector<BookItem> all = {
{"1-884210-11", "Martin Halvorsen", "Object Pascal from the Ground Up", "Kestrel Technical Press", 34.95, "Disk", 1, {4, 5, 4, 4},
 R"~(A patient introduction for readers who know some Pascal but have never written a class. Each chapter builds one part of a small address book program, and by the end the reader has used forms, events, exceptions and a Paradox table.

The later chapters on component writing are thin; buy a second book for that. Recommended for beginners.)~"},
{"0-9651422-0", "Susan Pike, Ray Templeton", "Database Programming with Delphi", "Harbour Lane Books", 49.95, "CD-ROM", 2, {5, 4, 4, 5},
 R"~(The best treatment of datasets, fields and data-aware controls we have seen. Master-detail forms, lookups, calculated fields, cached updates and the differences between local tables and SQL servers are explained with working examples.

The CD contains all sample projects plus a trial of a report component. Some of the SQL server material is specific to one vendor.)~"},
{"1-57169-04", "David Achterberg", "The TForm Cookbook: 200 Recipes for Windows", "Ridgeway Publishing", 39.95, "CD-ROM", 2, {4, 3, 5, 4},
 R"~(A recipe book in the true sense: each page states a problem ("a TForm that remembers its position", "a splash screen", "an MDI child with a toolbar") and gives a complete solution with a short explanation.

Easy to dip into, good value, but the explanations are sometimes too short to learn the principle behind a recipe.)~"},
{"0-9652007-3", "Jürgen Weiß", "Component Writing in Depth", "Blue Meridian Press", 44.95, "Disk", 3, {5, 3, 4, 4},
 R"~(For experienced programmers who want to write professional components: streaming, property editors, component editors, design-time packages, messages and the internals of TControl and TWinControl.

Dense and sometimes dry, translated from German with a few awkward sentences, but there is no better source on the streaming system.)~"},
{"1-884777-25", "Karen O'Donnell", "Delphi Step by Step in Two Weeks", "Oakfield & Sons", 29.95, "None", 1, {1, 4, 2, 2},
 R"~(Friendly and quick to read, but it stays on the surface. After two weeks you can place buttons on a form and open a table, not much more. Several code listings contain errors that the publisher's web page corrects.)~"},
{"0-9661230-5", "Ivo Dvorák, Nils Sørensen", "Advanced Windows Programming with Delphi", "Northgate Computing Library", 54.95, "CD-ROM", 3, {5, 4, 4, 5},
 R"~(Where most Delphi books stop, this one starts: threads and synchronisation, memory-mapped files, hooks, DLLs, services under NT, and calling every part of the Win32 API from Object Pascal.

Each chapter ends with a utility you can actually use. The best book for programmers coming from C who want to know what happens below the VCL.)~"},
{"1-884210-27", "Linda Ostrowski", "Delphi Reports and Printing", "Kestrel Technical Press", 32.50, "Disk", 2, {3, 3, 3, 3},
 R"~(Covers banded reports, printing on the printer canvas, previews and labels. The material is correct and complete but the examples are all about one invoice program and become repetitive. Adequate if reports are your main task.)~"},
{"0-9651422-4", "Michael Brandt", "Delphi Against the Server", "Harbour Lane Books", 59.95, "CD-ROM", 3, {4, 4, 3, 4},
 R"~(Design of client/server applications: transactions, cached updates, stored procedures, triggers and the tuning of queries. Strong on the server side, with examples for InterBase, Oracle and MS SQL Server.

Expensive, and a third of the book repeats material found in the manuals.)~"},
{"1-57169-11", "Hélène Dubois", "Graphics Programming for Delphi Developers", "Ridgeway Publishing", 42.00, "CD-ROM", 2, {4, 5, 4, 4},
 R"~(Canvas, pens and brushes, bitmaps and palettes, flicker-free animation, printing graphics and a chapter on 3D with OpenGL. Beautifully illustrated; the author clearly enjoys the subject and it shows.)~"},
{"0-9652007-8", "Bernd Schäfer", "Object-Oriented Design with Object Pascal", "Blue Meridian Press", 38.00, "FTP", 3, {5, 3, 3, 4},
 R"~(Not a book about the IDE at all: classes, responsibilities, patterns and how to build programs that survive their second year. Examples in Object Pascal throughout.

Demanding, but it changes how you write code. The source code is available from the publisher's FTP site only.)~"},
{"1-884777-31", "Steve Carrow", "Delphi for the Absolute Beginner", "Oakfield & Sons", 19.95, "None", 1, {1, 2, 3, 1},
 R"~(Cheap and cheerful. The jokes wear thin quickly, and the text avoids anything difficult, including exceptions and pointers. A first taste for somebody who has never programmed; everybody else will outgrow it in a week.)~"},
{"0-9661230-9", "Chris Hallam", "Internet Applications with Delphi", "Northgate Computing Library", 44.95, "CD-ROM", 2, {4, 4, 4, 4},
 R"~(WinSock basics, then FTP, SMTP and HTTP clients, CGI and ISAPI programs for web servers, and ActiveX forms in web pages. The examples work, which is not a matter of course in this field.)~"},
{"1-884210-35", "Paul van der Berg", "Delphi Class Reference by Task", "Kestrel Technical Press", 49.95, "CD-ROM", 2, {4, 2, 4, 3},
 R"~(A thick reference of every VCL class, property and method with short examples. More usable than the online help because it is organised by task, but the writing is terse and sometimes copied from the help file.)~"},
{"0-9651422-9", "Ulrike Müller", "Delphi 3 New Features Guide", "Harbour Lane Books", 27.50, "Disk", 2, {3, 4, 3, 3},
 R"~(Covers exactly what changed in version 3: packages, interfaces, the Code Insight tools, ActiveX, web modules and the decision cube. Quick to read, quickly outdated.)~"},
{"1-57169-22", "Mark Delaney", "Inside the Visual Component Library", "Ridgeway Publishing", 39.95, "CD-ROM", 3, {5, 5, 4, 5},
 R"~(How the VCL really works: the message loop, TApplication and TForm creation, TControl painting, focus handling, the streaming system and the data-aware link classes. Clear diagrams and exactly the right amount of code.

Our favourite. If you write components, read it twice.)~"},
{"0-9652007-2", "Françoise Martin", "Delphi pour les développeurs", "Blue Meridian Press", 36.00, "Disk", 2, {4, 4, 4, 4},
 R"~(A solid French-language introduction and reference, from the IDE to databases and components, with exercises corrected at the end of each chapter. Comes with a diskette of the examples.)~"},
{"1-884777-40", "Joe Fitzgerald", "Debugging Delphi Applications", "Oakfield & Sons", 24.95, "None", 2, {4, 3, 4, 4},
 R"~(A short, practical book about finding bugs: the integrated debugger, breakpoints with conditions, watching memory, access violations, leaks, and defensive programming with assertions and exceptions.)~"},
{"0-9661230-1", "Sandra Köhler", "Data Warehousing on the Desktop", "Northgate Computing Library", 64.00, "CD-ROM", 3, {2, 1, 1, 1},
 R"~(Promises a lot and delivers little: most of the book is general theory, the Delphi part is a single sample program with cross-tabs. Overpriced for what it offers.)~"},
{"1-884210-42", "Brian Nakamura", "Delphi Games Programming", "Kestrel Technical Press", 34.95, "CD-ROM", 2, {4, 5, 5, 4},
 R"~(Sprites, scrolling, collision detection, sound and a full platform game developed chapter by chapter. Fun to read and a surprisingly good lesson in drawing fast with bitmaps. Great value.)~"},
{"0-9651422-2", "Olaf Bergström", "Multi-Tier Applications with Delphi", "Harbour Lane Books", 52.00, "CD-ROM", 3, {4, 3, 3, 3},
 R"~(Remote data modules, the provider and client dataset components, DCOM configuration and load balancing. Useful, but the DCOM setup chapter already needs corrections for NT 4 service packs.)~"},
{"1-57169-30", "Rick Summers", "Delphi in a Hurry", "Ridgeway Publishing", 22.95, "None", 1, {3, 4, 4, 3},
 R"~(Two hundred pages that get an experienced programmer from another language productive in a weekend. Skips the basics of programming and goes straight to forms, events and tables.)~"},
{"0-9652007-6", "Günter Haßler", "Datenbankprogrammierung mit Delphi", "Blue Meridian Press", 45.00, "Disk", 2, {5, 4, 4, 4},
 R"~(German-language book on database programming: local tables, SQL, transactions and reports, all explained with one consistent business example. Precise and complete; recommended for German readers.)~"},
{"1-884777-52", "Eva Novak", "Visual Component Patterns", "Oakfield & Sons", 31.00, "FTP", 3, {0, 0, 0, 0},
 R"~(Arrived too late for a full review. At first glance a catalogue of patterns for building composite components, with Object Pascal examples. Ratings to follow.)~"},
{"0-9661230-4", "Tom Kowalski", "Win32 API Quick Reference for Pascal Programmers", "Northgate Computing Library", 18.50, "None", 2, {4, 2, 5, 3},
 R"~(Every common API function with its Object Pascal declaration and a one-line description. No explanations to speak of, but it is cheap and lies open next to the keyboard all day.)~"},
{"1-884210-56", "Anne-Marie Lefèvre", "Writing Help Files for Windows Programs", "Kestrel Technical Press", 26.95, "Disk", 1, {-1, -1, -1, -1},
 R"~(Not yet reviewed. Covers RTF topic files, the help compiler, context numbers and calling help from Delphi programs.)~"},
{"0-9651422-6", "Peter Lindqvist", "Delphi Practice: Twenty Experts", "Harbour Lane Books", 47.95, "CD-ROM", 2, {3, 3, 2, 3},
 R"~(Twenty authors, twenty styles: some chapters are excellent (threads, OLE automation), others are padding. The CD is full of trial versions rather than useful code.)~"},
{"1-57169-45", "José Ramírez", "Building Database Components", "Ridgeway Publishing", 41.50, "CD-ROM", 3, {5, 4, 3, 4},
 R"~(Data links, data-aware edits, grids and navigators written from scratch, with a thorough explanation of TDataLink and the dataset state machine. Hard going in places, but unique.)~"},
{"0-9652007-9", "Gary Whitcombe", "From Visual Basic to Delphi", "Blue Meridian Press", 29.95, "Disk", 1, {3, 4, 4, 4},
 R"~(Takes VB programmers by the hand: each concept is shown first in Basic, then in Object Pascal. Clear about the things VB programmers find strange (declarations, pointers, the uses clause). Level is beginner, but not for programming beginners.)~"},
    };
    return all;
}

} // namespace mkbases
