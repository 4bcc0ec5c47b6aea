// The converter's run from the command line to the exit status.
//
//   trb2csv            reads ceTrackTail.trb, writes KeloTrackTail.csv
//   trb2csv NAME       writes the CSV lines to NAME instead
//   trb2csv -quiet     no banner, no summary, no closing key wait
//   trb2csv --help     a short usage (also -h, -? and /?), and nothing else
//   trb2csv --version  the version, and nothing else
// -quiet is recognised in any letter case, and only as the first argument;
// it cannot be combined with a name. Any other argument list is ignored.
// An output name that is the input, or that ends in .trb, is refused.

#ifndef TRB2CSV_RUN_FLOW_H_
#define TRB2CSV_RUN_FLOW_H_

// Returns the exit status: 1 if an error or the limit notice was printed,
// so that the CSV may not hold the whole track; 0 otherwise.
int RunConverter(int argc, const char* const* argv);

#endif  // TRB2CSV_RUN_FLOW_H_
