// The converter's run from the command line to the exit status.
//
//   trb2csv            reads ceTrackTail.trb, writes KeloTrackTail.csv
//   trb2csv NAME       writes the CSV lines to NAME instead
//   trb2csv -quiet     no banner, no summary, no closing key wait
//   trb2csv --help     a short usage (also -h, -? and /?), and nothing else
//   trb2csv --version  the version, and nothing else
// -quiet is recognised in any letter case, and only as the first argument;
// it cannot be combined with a name. Any other single argument that starts
// with - is refused as an unknown option; any other argument list is ignored.
// An output that is the input, whose name or link target ends in .trb, or
// that is not a text file, is refused. Causes go to standard error.

#ifndef TRB2CSV_RUN_FLOW_H_
#define TRB2CSV_RUN_FLOW_H_

// Returns the exit status: 2 for an unknown option; 1 if the CSV file was not
// written or may not hold the whole track (an error, the limit notice, or a
// track file without a track point); 0 otherwise.
int RunConverter(int argc, const char* const* argv);

#endif  // TRB2CSV_RUN_FLOW_H_
