// Queries every server named on the command line at once with GameDig's library, in this one
// Node process: the details, players and rules of each over the Steam-era protocol. Prints one
// line per server and exits with 1 when any did not answer.
// Usage: node gamedig_query.mjs HOST:PORT...
import { GameDig } from 'gamedig';

const targets = process.argv.slice(2);
const results = await Promise.allSettled(targets.map((target) => {
  const [host, port] = target.split(':');
  return GameDig.query({
    type: 'protocol-valve',
    host,
    port: Number(port),
    givenPortOnly: true,
    requestRules: true,
    requestRulesRequired: true,
    requestPlayersRequired: true,
    maxRetries: 1,
    socketTimeout: 2000,
    attemptTimeout: 10000,
  });
}));
let failed = 0;
results.forEach((result, i) => {
  if (result.status === 'fulfilled') {
    const state = result.value;
    const players = state.players.length + state.bots.length;
    const rules = Object.keys(state.raw.rules ?? {}).length;
    console.log(`${targets[i]} answered: ${state.name}, ${players} players, ${rules} rules`);
  } else {
    failed += 1;
    console.log(`${targets[i]} failed: ${result.reason}`);
  }
});
process.exit(failed ? 1 : 0);
