// Queries one server with GameDig's generic Steam-era protocol and prints, as one line of JSON,
// what it read: name, map, counts, every player (bots included) with its score, and the rules.
// Usage: node query.mjs HOST PORT
import { GameDig } from 'gamedig';

const [host, port] = process.argv.slice(2);
try {
  const state = await GameDig.query({
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
  const players = [...state.players, ...state.bots].map((player) => ({
    name: player.name,
    score: player.raw.score,
  }));
  console.log(JSON.stringify({
    name: state.name,
    map: state.map,
    numplayers: state.numplayers,
    maxplayers: state.maxplayers,
    password: state.password,
    players,
    rules: state.raw.rules ?? {},
  }));
} catch (error) {
  console.error(String(error));
  process.exit(1);
}
