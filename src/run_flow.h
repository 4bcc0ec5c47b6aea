// The converter's run from the command line to the exit status.
//
//   trb2csv              reads ceTrackTail.trb, writes KeloTrackTail.csv
//   trb2csv NAME         writes the CSV lines to NAME instead
//   trb2csv -quiet       no banner, no summary, no closing key wait
//   trb2csv TRACK.trb... each track file named into TRACK.csv beside it
//   trb2csv --help       a short usage (also -h, -? and /?), and nothing else
//   trb2csv --version    the version, and nothing else
// The rules of the command line are in command_line.h; those of what is
// never written over in output_guard.h. Causes go to standard error.

#ifndef TRB2CSV_RUN_FLOW_H_
#define TRB2CSV_RUN_FLOW_H_

// Returns the exit status: 2 for an unknown option; 1 if the CSV file was not
// written or may not hold the whole track (an error, the limit notice, or a
// track file without a track point); 0 otherwise.
int RunConverter(int argc, const char* const* argv);

#endif  // TRB2CSV_RUN_FLOW_H_
