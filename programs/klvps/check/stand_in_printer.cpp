#include "programs/klvps/check/stand_in_printer.h"

namespace klv::check {

namespace {

// Events, each on a line of its own after the tag:
//   user|file|jobname VALUE   an accounting procedure and its operand
//   user|file|jobname         the same, called without an operand
//   jobinfo                   logjobinfo ran
//   wm-defined                DrawWaterMark was stored in userdict
//   wm-text|wm-size|wm-angle|wm-font|wm-colour VALUE
//                             what the stored procedure holds
//   wm-invoked                DrawWaterMark ran
//   page                      a page was shown
//   error-name|error-command VALUE
//                             the job stopped with a PostScript error
//   key NAME VALUE            a userdict key the job left defined
//   patch-active              userdict's def is the origin patch's klvdef
//   done                      the whole job was read
// VALUE is "s HEX" for a string (its bytes), "n HEX" for a name, or
// "v TEXT" for anything else as cvs gives it.
//
// Every procedure is bound and reaches its helpers through immediately
// evaluated names, so the job's own definitions (the origin patch replaces
// def in userdict) cannot change what the stand-in does. Events are printed
// at once, so a restore in the job cannot take them back.
constexpr std::string_view kStandInPrinter = R"PS(%!PS
/KlvCheck 32 dict def
KlvCheck begin
/hexdigits (0123456789abcdef) def
/tag { (%KLVCHK ) print print } bind def
/hex {
  { dup -4 bitshift //hexdigits exch 1 getinterval print
    15 and //hexdigits exch 1 getinterval print } forall
} bind def
/note { //KlvCheck /tag get exec (\n) print flush } bind def
/value {
  dup type /stringtype eq { ( s ) print //KlvCheck /hex get exec } {
    dup type /nametype eq { ( n ) print dup length string cvs //KlvCheck /hex get exec } {
      ( v ) print 64 string cvs print } ifelse } ifelse
} bind def
/record { //KlvCheck /tag get exec //KlvCheck /value get exec (\n) print flush } bind def
/received {
  count 1 gt { //KlvCheck /record get exec } { //KlvCheck /note get exec } ifelse
} bind def
/isnumber { type dup /integertype eq exch /realtype eq or } bind def
/isproc { dup xcheck exch type dup /arraytype eq exch /packedarraytype eq or and } bind def
/prev null def
/watermark-part {
  //KlvCheck /prev get
  dup type /nametype eq { dup xcheck not } { false } ifelse {
    dup /Watermark eq 2 index type /stringtype eq and { 1 index (wm-text) //KlvCheck /record get exec } if
    dup /FontSize eq { 1 index (wm-size) //KlvCheck /record get exec } if
    dup /Angle eq { 1 index (wm-angle) //KlvCheck /record get exec } if
    dup /Font eq { 1 index (wm-font) //KlvCheck /record get exec } if
    dup /WaterMarkColor eq 2 index //KlvCheck /isproc get exec and {
      1 index {
        dup //KlvCheck /isnumber get exec { (wm-colour) //KlvCheck /record get exec } { pop } ifelse
      } forall
    } if
  } if
  pop //KlvCheck /prev 3 -1 roll put
} bind def
/watermark-invoked { (wm-invoked) //KlvCheck /note get exec } bind def
/wrap-watermark {
  dup //KlvCheck /isproc get exec {
    (wm-defined) //KlvCheck /note get exec
    //KlvCheck /prev null put
    dup { //KlvCheck /watermark-part get exec } forall
    [ //KlvCheck /watermark-invoked get //systemdict /exec get 4 -1 roll //systemdict /exec get ] cvx
  } if
} bind def
/report-error {
  $error /errorname get (error-name) //KlvCheck /record get exec
  $error /command get (error-command) //KlvCheck /record get exec
  $error /newerror false put
} bind def
/report-key {
  //userdict 1 index known {
    (key ) //KlvCheck /tag get exec dup 64 string cvs print
    //userdict exch get //KlvCheck /value get exec (\n) print flush
  } { pop } ifelse
} bind def
/report-state {
  [ /kelvo$NT /kelvo$jobpassword /kelvo$jobname /kelvo$flip /klvdef /klvdeforig /DrawWaterMark ]
  { //KlvCheck /report-key get exec } forall
  //userdict /def known //userdict /klvdef known and {
    //userdict /def get //userdict /klvdef get eq { (patch-active) //KlvCheck /note get exec } if
  } if
} bind def
end

/ZUDurareDirod 8 dict begin
/logusername { (user) //KlvCheck /received get exec } bind def
/logfilename { (file) //KlvCheck /received get exec } bind def
/logjobname { (jobname) //KlvCheck /received get exec } bind def
/logjobinfo { (jobinfo) //KlvCheck /note get exec } bind def
currentdict end /ProcSet defineresource pop

<< /EndPage { exch pop dup 2 ne { (page) //KlvCheck /note get exec } if 2 ne } bind >> setpagedevice

)PS";

// Only for jobs that name DrawWaterMark: the watermark procedure is stored
// with put into userdict; it is kept wrapped so that every run of it is
// reported. put in userdict is a procedure meanwhile, which a job that takes
// the operator with `/put load` cannot use, so it gives the operator back as
// soon as the procedure is wrapped. The plug-in defines the procedure at
// the start of the prolog, before any procedure set of the job.
constexpr std::string_view kWatermarkCatcher = R"PS(
userdict /put {
  count 3 ge {
    2 index //userdict eq {
      1 index /DrawWaterMark eq { //KlvCheck /wrap-watermark get exec //userdict /put undef } if
    } if
  } if
  //put
} bind put
)PS";

// A PostScript string literal for a path: backslashes and parentheses
// escaped.
std::string PsLiteral(const std::string& text) {
    std::string out = "(";
    for (char c : text) {
        if (c == '\\' || c == '(' || c == ')')
            out += '\\';
        out += c;
    }
    return out + ")";
}

} // namespace

std::string StandInPrinterProgram(const std::string& jobPath, bool catchWatermark) {
    std::string program(kStandInPrinter);
    if (catchWatermark)
        program += kWatermarkCatcher;
    program += "{ " + PsLiteral(jobPath) +
               " run } stopped { userdict /KlvCheck get /report-error get exec } if\n"
               "clear\n"
               "userdict /KlvCheck get /report-state get exec\n"
               "(done) userdict /KlvCheck get /note get exec\n"
               "quit\n";
    return program;
}

} // namespace klv::check
